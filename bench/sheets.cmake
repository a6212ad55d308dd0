# Spreadsheet service: a million-row poke and save through the real impix-sheets.
impix_bench(NAME bench_sheets QT_APP SOURCES ${CMAKE_CURRENT_LIST_DIR}/sheets_poke_save.cpp)
target_compile_definitions(bench_sheets PRIVATE IMPIX_BENCH_BUILD_DIR="${CMAKE_BINARY_DIR}")
add_dependencies(bench_sheets impix-sheets impix_template_workbook)
