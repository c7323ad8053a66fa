# Key/value file: load, lookups, updates and save of a 10,000-line file.
add_executable(bench_kvfile ${CMAKE_CURRENT_LIST_DIR}/bench_kvfile.cpp)
target_link_libraries(bench_kvfile PRIVATE zwkvfile)
