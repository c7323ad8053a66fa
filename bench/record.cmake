# The flash record's look-up of a device's last write, in a 50 MB record.
add_executable(bench_record ${CMAKE_CURRENT_LIST_DIR}/bench_record.cpp)
target_link_libraries(bench_record PRIVATE zwdevice)
