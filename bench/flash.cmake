# Flash write of the full image against the simulated instrument: paced like
# a 57600-baud line and unpaced, in this process, through the command-line
# flasher and from the window (window.cmake).
add_executable(bench_flash ${CMAKE_CURRENT_LIST_DIR}/bench_flash.cpp)
target_link_libraries(bench_flash PRIVATE zwcore zwtestsupport)
target_compile_definitions(bench_flash PRIVATE
    ZW_HEX_FILE="${PROJECT_SOURCE_DIR}/tests/data/hex/full.hex")
if(TARGET zirbelwerk-flash)
    target_compile_definitions(bench_flash PRIVATE
        ZW_FLASH_EXECUTABLE="$<TARGET_FILE:zirbelwerk-flash>")
    add_dependencies(bench_flash zirbelwerk-flash)
endif()
