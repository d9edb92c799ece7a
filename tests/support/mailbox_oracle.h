#pragma once
// The first design's read-back of a mailbox file's message, kept as the tests' reference: it
// counts lines from the start of the file to the message's separator and takes lines until their
// bytes reach the message's size. The program reads a row's own bytes where the load found them;
// both must give the same lines.
#include "stores/mailbox_file.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pellora::test {

// The lines of the message of size bytes whose separator is on startLine, in a file loaded by
// rule.
void ReadMailboxMessage(const std::string& path, std::vector<std::string>& lines, int64_t size,
                        int64_t startLine, TMailboxRule rule = mrMarked);

} // namespace pellora::test
