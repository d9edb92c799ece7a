add_executable(bench_stores_gen_mailbox stores_gen_mailbox.cpp)
add_executable(bench_stores stores_bench.cpp ${CMAKE_SOURCE_DIR}/tests/support/store_builders.cpp
               ${CMAKE_SOURCE_DIR}/tests/support/mailbox_oracle.cpp)
target_include_directories(bench_stores PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(bench_stores PRIVATE pellora_stores PkgConfig::GMIME)
