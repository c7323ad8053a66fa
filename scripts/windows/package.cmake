# Packs the Windows build: installs it, stripped, into
# OUT/zirbelwerk-VERSION-windows-x64, and makes of that folder the installer
# OUT/zirbelwerk-VERSION-setup.exe and the portable zip beside it:
#   cmake -DBUILD=build-win -DVERSION=1.0.0 -DOUT=build-win/package -P package.cmake
# With STAGE (a folder) instead of BUILD, the installer of that folder alone.
# The installer installs exactly the folder's files; its uninstaller deletes
# exactly them, and the folders left empty.
set(setup ${OUT}/zirbelwerk-${VERSION}-setup.exe)
if(BUILD)
    set(name zirbelwerk-${VERSION}-windows-x64)
    set(STAGE ${OUT}/${name})
    file(REMOVE_RECURSE ${OUT})
    execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${STAGE} --strip
        OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
endif()

# Sorted, so a folder comes before what is in it: the folders are removed
# in reverse, deepest first.
file(GLOB_RECURSE entries LIST_DIRECTORIES true RELATIVE ${STAGE} ${STAGE}/*)
set(deletes)
set(folders)
set(size 0)
foreach(entry IN LISTS entries)
    string(REPLACE "/" "\\" windows_path ${entry})
    if(IS_DIRECTORY ${STAGE}/${entry})
        string(PREPEND folders "    RMDir \"$INSTDIR\\${windows_path}\"\n")
    else()
        string(APPEND deletes "    Delete \"$INSTDIR\\${windows_path}\"\n")
        file(SIZE ${STAGE}/${entry} bytes)
        math(EXPR size "${size} + ${bytes}")
    endif()
endforeach()
math(EXPR size "${size} / 1024")
file(WRITE ${setup}.nsh "!macro ZW_UNINSTALL_FILES\n${deletes}${folders}!macroend\n")
execute_process(COMMAND makensis -V2 -DVERSION=${VERSION} -DSTAGE=${STAGE} -DFILES=${setup}.nsh -DSIZE_KB=${size}
        -DOUTFILE=${setup} ${CMAKE_CURRENT_LIST_DIR}/installer.nsi
    COMMAND_ERROR_IS_FATAL ANY)
file(REMOVE ${setup}.nsh)
if(BUILD)
    execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${name}.zip --format=zip ${name}
        WORKING_DIRECTORY ${OUT} COMMAND_ERROR_IS_FATAL ANY)
    message("${setup}\n${OUT}/${name}.zip")
endif()
