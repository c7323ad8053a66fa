# Eight paced instruments written at once with --all, against one alone,
# and one --all search pass over fifty names, through the real flasher.
if(TARGET zirbelwerk-flash)
    add_executable(bench_fleet ${CMAKE_CURRENT_LIST_DIR}/bench_fleet.cpp)
    target_link_libraries(bench_fleet PRIVATE zwtestsupport)
    target_compile_definitions(bench_fleet PRIVATE
        ZW_HEX_FILE="${PROJECT_SOURCE_DIR}/tests/data/hex/full.hex"
        ZW_FLASH_EXECUTABLE="$<TARGET_FILE:zirbelwerk-flash>")
    add_dependencies(bench_fleet zirbelwerk-flash zirbelwerk-sim)
endif()
