# The record's report: a year's record of a production line (1,000,000
# lines) read by zirbelwerk-flash --report, beside Python's json module.
add_executable(bench_report ${CMAKE_CURRENT_LIST_DIR}/bench_report.cpp)
target_link_libraries(bench_report PRIVATE Qt6::Core)
target_compile_definitions(bench_report PRIVATE ZW_FLASH_CLI="$<TARGET_FILE:zirbelwerk-flash>")
add_dependencies(bench_report zirbelwerk-flash)
