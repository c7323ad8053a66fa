# The station in auto mode with eight paced instruments against the flasher
# with one, idle slots, swaps and memory, through the real programs.
if(TARGET zirbelwerk-station)
    add_executable(bench_station ${CMAKE_CURRENT_LIST_DIR}/bench_station.cpp)
    target_link_libraries(bench_station PRIVATE zwtestsupport)
    target_compile_definitions(bench_station PRIVATE
        ZW_HEX_FILE="${PROJECT_SOURCE_DIR}/tests/data/hex/full.hex"
        ZW_SMALL_HEX_FILE="${PROJECT_SOURCE_DIR}/tests/data/hex/small.hex"
        ZW_FLASH_EXECUTABLE="$<TARGET_FILE:zirbelwerk-flash>"
        ZW_STATION_EXECUTABLE="$<TARGET_FILE:zirbelwerk-station>")
    add_dependencies(bench_station zirbelwerk-station zirbelwerk-flash zirbelwerk-sim)
endif()
