# Measurement archive: the writer's rate and the file's size per arrival; the GPRS report with
# the window, its table and the archive; restoring a million measurements into the buffer.
impix_bench(NAME bench_archive QT_APP SOURCES ${CMAKE_CURRENT_LIST_DIR}/archive_write.cpp)
impix_bench(NAME bench_archive_window UI SOURCES ${CMAKE_CURRENT_LIST_DIR}/archive_window.cpp)
