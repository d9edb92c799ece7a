# The search box's query language: the parser and the readers of its tree.
pellora_add_fuzzer(fuzz_search_query
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/search_query.cpp ${CMAKE_SOURCE_DIR}/tests/search/fuzz_bodies.cpp
  LIBS pellora_search)
