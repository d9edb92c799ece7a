#pragma once
// What each store fuzz target does with one input; the tests replay kept inputs through the
// same functions.
#include <cstddef>
#include <cstdint>
#include <string>

namespace pellora::fuzz {

void RunDbxReader(const uint8_t* data, size_t size);
// The first byte chooses whether an index file is written; the rest is split into the ".mbx"
// and the ".idx" at the first "\xFF\xFE\xFD\xFC", when present.
void RunMbxReader(const uint8_t* data, size_t size);
void RunMailboxFile(const uint8_t* data, size_t size);
// A compressed mailbox file, checked against the plain file it decompresses to.
void RunCompressedMailbox(const uint8_t* data, size_t size);
// An Apple Mail message file, as its message and as a folder of one.
void RunEmlx(const uint8_t* data, size_t size);
void RunHeaderScanner(const uint8_t* data, size_t size);
// Outlook's files, by the first byte: 'p' a personal folder file, 'm' a single message, else a
// compressed RTF body; each loaded and every row read back and parsed.
void RunOutlook(const uint8_t* data, size_t size);

// A row cache file, by the first byte: 0 the rest as the file, else the rest as what a file
// unpacks to, packed under a key; what reads back must write and read back alike.
void RunRowCache(const uint8_t* data, size_t size);

} // namespace pellora::fuzz
