# Message model against GMime 3 on the same generated messages.
add_executable(bench_mime ${CMAKE_CURRENT_LIST_DIR}/mime_bench.cpp)
target_link_libraries(bench_mime PRIVATE pellora_mime PkgConfig::GMIME)
