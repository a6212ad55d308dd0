# Workbook export: converting a saved text file back into records.
impix_bench(NAME bench_export SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/export_main.cpp
  ${CMAKE_CURRENT_LIST_DIR}/export_convert.cpp)
