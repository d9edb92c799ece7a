foreach(target dbx mbx mailbox scan compressed emlx outlook row_cache)
  pellora_add_fuzzer(fuzz_stores_${target}
    SOURCES stores_${target}.cpp ${CMAKE_SOURCE_DIR}/tests/stores/fuzz_bodies.cpp
            ${CMAKE_SOURCE_DIR}/tests/support/mailbox_oracle.cpp
    LIBS pellora_stores)
endforeach()
