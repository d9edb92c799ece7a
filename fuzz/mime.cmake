# The message model: parsing, body analysis, decoding and the header readers.
pellora_add_fuzzer(fuzz_mime SOURCES ${CMAKE_CURRENT_LIST_DIR}/mime_message.cpp LIBS pellora_mime)
