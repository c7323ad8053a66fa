# Windows: every program and test is built into bin/, beside the DLLs they
# load: the compiler's runtime, Qt's libraries and the plugins (the window's
# platform and style, offscreen for the tests, ICO for the window's icon),
# and Qt's German messages (Debian's, of the same Qt).
set(ZW_WINDOWS_BIN ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${ZW_WINDOWS_BIN})

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

# The targets exist once Qt is found; the copies run at build time.
function(zw_copy_windows_runtime)
    set(plugins platforms:QWindowsIntegrationPlugin platforms:QOffscreenIntegrationPlugin
        styles:QWindowsVistaStylePlugin imageformats:QICOPlugin)
    set(commands)
    foreach(entry IN LISTS plugins)
        string(REPLACE ":" ";" entry "${entry}")
        list(GET entry 0 folder)
        list(GET entry 1 plugin)
        list(APPEND commands
            COMMAND ${CMAKE_COMMAND} -E make_directory ${ZW_WINDOWS_BIN}/${folder}
            COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:Qt6::${plugin}> ${ZW_WINDOWS_BIN}/${folder})
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
