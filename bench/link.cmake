impix_bench(NAME bench_link SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/link_receiver.cpp)
