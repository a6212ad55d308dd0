# Reading the archive back with the window: "History..." over a large finished session, and a
# restore of more items than the writer's queue holds.
impix_bench(NAME bench_archive_reads UI SOURCES ${CMAKE_CURRENT_LIST_DIR}/archive_reads.cpp)
