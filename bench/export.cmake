# Workbook export: converting a saved text file back into records, and a million records of one
# board exported into the real spreadsheet service, with the longest stall of the event loop.
impix_bench(NAME bench_export QT_APP SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/export_convert.cpp
  ${CMAKE_CURRENT_LIST_DIR}/export_workbook.cpp)
add_dependencies(bench_export impix-sheets impix_template_workbook)
