# Search: the search box's query against the field filters on the same work.
add_executable(bench_search ${CMAKE_CURRENT_LIST_DIR}/search_bench.cpp)
target_link_libraries(bench_search PRIVATE pellora_search)
