# Mailbox window: filters, sorting and address collection over a generated mailbox file, the
# Body filter against GMime 3.
add_executable(bench_mailbox_window ${CMAKE_CURRENT_LIST_DIR}/mailbox_window_bench.cpp)
target_link_libraries(bench_mailbox_window PRIVATE pellora_mailbox_window pellora_search pellora_qtlocale
                      PkgConfig::GMIME)
# GLib names a field "signals", which Qt's keywords would turn into "public".
target_compile_definitions(bench_mailbox_window PRIVATE QT_NO_KEYWORDS)
