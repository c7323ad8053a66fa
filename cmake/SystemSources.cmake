# zw_system_sources(<target> <file>...): each file from the folder's unix/
# or win/ backend, as the build's system calls for. Every such file must
# exist for both systems, so one system's side cannot be forgotten.
function(zw_system_sources target)
    set(system unix)
    if(WIN32)
        set(system win)
    endif()
    foreach(file IN LISTS ARGN)
        foreach(side unix win)
            if(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${side}/${file})
                message(FATAL_ERROR "${target}: ${side}/${file} is missing; each system needs its own")
            endif()
        endforeach()
        target_sources(${target} PRIVATE ${system}/${file})
    endforeach()
endfunction()
