# The message model: parsing, body analysis, decoding and the header readers.
pellora_add_fuzzer(fuzz_mime SOURCES ${CMAKE_CURRENT_LIST_DIR}/mime_message.cpp LIBS pellora_mime)
# TNEF attachments (winmail.dat): the stream's reader and the parts made of what it holds.
pellora_add_fuzzer(fuzz_mime_tnef SOURCES ${CMAKE_CURRENT_LIST_DIR}/mime_tnef.cpp LIBS pellora_mime)
