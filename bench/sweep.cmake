impix_bench(NAME bench_sweep SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/sweep_fit.cpp)
impix_bench(NAME bench_sweep_plot SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/sweep_plot.cpp UI)
