# Reading pane: the event loop's longest stall while a held arrow key walks a real mailbox's list,
# with the pane off (the list alone) and on.
if(PELLORA_UI)
  add_executable(bench_reading_pane ${CMAKE_CURRENT_LIST_DIR}/reading_pane_bench.cpp)
  target_link_libraries(bench_reading_pane PRIVATE pellora_ui)
endif()
