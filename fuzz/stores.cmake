foreach(target dbx mbx mailbox scan)
  pellora_add_fuzzer(fuzz_stores_${target}
    SOURCES stores_${target}.cpp ${CMAKE_SOURCE_DIR}/tests/stores/fuzz_bodies.cpp
    LIBS pellora_stores pellora_shell) # the shell: a mailbox file's kind is read as on opening
endforeach()
