add_executable(bench_export export_bench.cpp)
target_include_directories(bench_export PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(bench_export PRIVATE pellora_export)
