# Fleet view: one logger's 1,000,000 measurements loaded from a real PostgreSQL into the buffer
# with its table shown. Needs a server: run it under pg_virtualenv (postgresql-15).
impix_bench(NAME bench_fleet_load UI SOURCES ${CMAKE_CURRENT_LIST_DIR}/fleet_load.cpp)
target_link_libraries(bench_fleet_load PRIVATE impix_collector_core)
set_target_properties(bench_fleet_load PROPERTIES CXX_STANDARD 23)

# Fleet view: the list of 10,000 loggers, fed rows (no server): first paint, NOTIFY refresh.
impix_bench(NAME bench_fleet_window UI SOURCES ${CMAKE_CURRENT_LIST_DIR}/fleet_window.cpp)
