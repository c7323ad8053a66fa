add_executable(bench_hex ${CMAKE_CURRENT_LIST_DIR}/bench_hex.cpp)
target_link_libraries(bench_hex PRIVATE zwimage)
target_compile_definitions(bench_hex PRIVATE
    ZW_HEX_FILE="${PROJECT_SOURCE_DIR}/tests/data/hex/full.hex")
