# Measurement buffer: appends with the table attached, memory per record, saving the text file.
impix_bench(NAME bench_buffer QT_APP SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/buffer_append.cpp
  ${CMAKE_CURRENT_LIST_DIR}/buffer_memory.cpp
  ${CMAKE_CURRENT_LIST_DIR}/buffer_save.cpp)
# The same appends with a table view on an offscreen display.
impix_bench(NAME bench_buffer_view UI SOURCES ${CMAKE_CURRENT_LIST_DIR}/buffer_view.cpp)
