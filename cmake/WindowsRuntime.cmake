# Windows: every program and test is built into bin/, beside the DLLs they
# load: the compiler's runtime, Qt's libraries and the plugins (the window's
# platform and style, offscreen for the tests, ICO for the window's icon),
# and Qt's German messages (Debian's, of the same Qt). Installed, the
# programs keep all they need in one folder as well: what the installer and
# the portable zip ship (WindowsPackage.cmake) is the install.
set(ZW_WINDOWS_BIN ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${ZW_WINDOWS_BIN})
set(CMAKE_INSTALL_BINDIR .)
set(ZW_DATADIR .)
# CTest runs the Windows programs under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/scripts/windows/wine-run.sh)

set(zw_compiler_runtime)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
        OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${found}" OR NOT EXISTS "${found}")
        message(FATAL_ERROR "${CMAKE_CXX_COMPILER} has no ${dll}")
    endif()
    get_filename_component(found "${found}" REALPATH)
    list(APPEND zw_compiler_runtime "${found}")
endforeach()

find_file(ZW_QTBASE_DE qtbase_de.qm PATHS /usr/share/qt6/translations NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT ZW_QTBASE_DE)
    message(FATAL_ERROR "qtbase_de.qm not found: Debian's qt6-translations-l10n is missing")
endif()
install(FILES ${ZW_QTBASE_DE} DESTINATION translations)

# The targets exist once Qt is found; the copies run at build time. Plugins
# are loaded at run time, so no import names them: each shipped one is
# installed by name.
function(zw_copy_windows_runtime)
    set(commands)
    foreach(entry platforms:QWindowsIntegrationPlugin:ship platforms:QOffscreenIntegrationPlugin:
                  styles:QWindowsVistaStylePlugin:ship imageformats:QICOPlugin:ship)
        string(REPLACE ":" ";" entry "${entry}")
        list(GET entry 0 folder)
        list(GET entry 1 plugin)
        list(APPEND commands
            COMMAND ${CMAKE_COMMAND} -E make_directory ${ZW_WINDOWS_BIN}/${folder}
            COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:Qt6::${plugin}> ${ZW_WINDOWS_BIN}/${folder})
        if(entry MATCHES ";ship$")
            install(FILES $<TARGET_FILE:Qt6::${plugin}> DESTINATION ${folder})
        endif()
    endforeach()
    add_custom_target(zw_windows_runtime ALL
        COMMAND ${CMAKE_COMMAND} -E make_directory ${ZW_WINDOWS_BIN}
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${zw_compiler_runtime}
            $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets> $<TARGET_FILE:Qt6::Test>
            ${ZW_WINDOWS_BIN}
        ${commands}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${ZW_WINDOWS_BIN}/translations
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${ZW_QTBASE_DE} ${ZW_WINDOWS_BIN}/translations
        VERBATIM)
endfunction()
zw_copy_windows_runtime()

# The licence texts, in licences/ with Windows' line ends: Notepad of
# Windows 10 before 1809 shows them as one line otherwise. README.txt says
# what each covers. Debian's copyright files are those of the very sources
# Qt and the runtime are built from, with every part and its licence text.
set(zw_licences ${CMAKE_BINARY_DIR}/licences)
execute_process(COMMAND dpkg-query -W -f=\${Version} qt6-base-dev-tools OUTPUT_VARIABLE zw_qt_source)
set(zw_licences_readme "ZirbelWerk ${PROJECT_VERSION} for Windows, and what it bundles

ZirbelWerk is free software under the GNU General Public License, version 3
or (at your option) any later version. Qt is used under the GNU Lesser
General Public License, version 3; its DLLs are built from Debian's qt6-base
${zw_qt_source} source package with the options in ZirbelWerk's
scripts/windows/qt.sh, and may be replaced by another build of that Qt.

")
function(zw_licence file source covers)
    file(READ ${source} text)
    string(REGEX REPLACE "([^\n])$" "\\1\n" text "${text}")
    string(REGEX REPLACE "\r*\n" "\r\n" text "${text}")
    file(WRITE ${zw_licences}/${file} "${text}")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
    set(zw_licences_readme "${zw_licences_readme}${file}: ${covers}\n" PARENT_SCOPE)
endfunction()
zw_licence(GPL-3.0.txt /usr/share/common-licenses/GPL-3 "ZirbelWerk (zirbelwerk.exe, zirbelwerk-flash.exe, zirbelwerk-station.exe), GPL-3.0-or-later; libstdc++ and libgcc under the exception in gcc-runtime.txt; the terms the LGPL builds on")
zw_licence(LGPL-3.0.txt /usr/share/common-licenses/LGPL-3 "Qt 6: Qt6Core.dll, Qt6Gui.dll, Qt6Widgets.dll and the plugins in platforms, styles and imageformats")
zw_licence(Qt.txt /usr/share/doc/qt6-base-dev-tools/copyright "who holds Qt's copyright, and the libraries built into it with their licences: zlib, PCRE2, libpng, FreeType (under the FreeType License), HarfBuzz, double-conversion, TinyCBOR, MD4C, the hash functions, Unicode data and more")
zw_licence(Qt-translations.txt /usr/share/doc/qt6-translations-l10n/copyright "translations/qtbase_de.qm")
zw_licence(gcc-runtime.txt /usr/share/doc/gcc-mingw-w64-x86-64-posix-runtime/copyright "libstdc++-6.dll and libgcc_s_seh-1.dll: GPL-3 with the GCC Runtime Library Exception")
zw_licence(mingw-w64.txt /usr/share/doc/mingw-w64-x86-64-dev/copyright "libwinpthread-1.dll (winpthreads, Expat licence) and the mingw-w64 start-up code in every program")
zw_licence(Chart.js.txt /usr/share/doc/libjs-chart.js/copyright "Chart.js, inline in the report page zirbelwerk-flash.exe --report writes (Expat licence)")
string(REPLACE "\n" "\r\n" zw_licences_readme "${zw_licences_readme}")
file(WRITE ${zw_licences}/README.txt "${zw_licences_readme}")
install(DIRECTORY ${zw_licences}/ DESTINATION licences)

# Last of all, once every program and plugin is in: the DLLs they import.
function(zw_install_imported_dlls)
    install(CODE "set(ZW_DLL_FOLDER \"${ZW_WINDOWS_BIN}\")
        set(ZW_OBJDUMP \"${CMAKE_OBJDUMP}\")
        set(ZW_STRIP \"${CMAKE_STRIP}\")")
    install(SCRIPT ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/WindowsDlls.cmake)
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL zw_install_imported_dlls)
