# The real window as one more loader of bench_flash, offscreen.
if(TARGET bench_flash AND TARGET zwgui AND TARGET zwdialoganswer)
    target_link_libraries(bench_flash PRIVATE zwgui zwdialoganswer)
    target_compile_definitions(bench_flash PRIVATE ZW_BENCH_WINDOW)
endif()
