impix_bench(NAME bench_plot_ingest QT_APP SOURCES plot_ingest.cpp)
impix_bench(NAME bench_plot_paint SOURCES plot_paint.cpp UI)
impix_bench(NAME bench_trend SOURCES trend_view.cpp UI)
