impix_bench(NAME bench_plot_ingest SOURCES plot_ingest.cpp)
impix_bench(NAME bench_plot_paint SOURCES plot_paint.cpp UI)
