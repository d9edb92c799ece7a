# The mailbox window opened through the frame on the offscreen platform: open and filters, beside
# the command line.
if(PELLORA_UI)
  add_executable(bench_window ${CMAKE_CURRENT_LIST_DIR}/window_bench.cpp)
  target_link_libraries(bench_window PRIVATE pellora_ui)
endif()
