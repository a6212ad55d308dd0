# Fleet collector: 500 emulated loggers reporting 2,000 measurements each at once into a real
# PostgreSQL 15 (started by the benchmark itself through pg_virtualenv, with fsync on), and the
# database's own binary COPY of as many rows as the ceiling. Exits non-zero when a measurement
# was dropped or the collector grew past 256 MB.
add_executable(bench_collector ${CMAKE_CURRENT_LIST_DIR}/collector_fleet.cpp)
set_target_properties(bench_collector PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench
  CXX_STANDARD 23)
target_link_libraries(bench_collector PRIVATE impix_collector_core benchmark::benchmark)
target_compile_definitions(bench_collector PRIVATE IMPIX_BUILD_DIR="${CMAKE_BINARY_DIR}")
add_dependencies(bench_collector impix-collector impix-logger)
