#include "support/mailbox_oracle.h"

namespace pellora::test {

void ReadMailboxMessage(const std::string& path, std::vector<std::string>& lines, int64_t size,
                        int64_t startLine, TMailboxRule rule) {
  lines.clear();
  TMailboxLineReader reader(path);
  std::string_view line;
  bool discarded;
  int64_t lineNumber = 0;
  // Under the marker rule the size of every message but the last includes the next message's
  // separator: a separator line waits until the line after it shows whether it starts the next
  // message.
  const bool marked = rule == mrMarked;
  std::string separator;
  bool separatorWaits = false;
  bool first = true;
  int64_t total = 0;
  while (reader.Next(line, discarded)) {
    ++lineNumber;
    if (discarded || lineNumber < startLine) continue;
    if (!first && total >= size) {
      if (separatorWaits && IsMailboxMarkerLine(line)) return;
      // A classic message ends where the next one starts: the empty lines up to there are its.
      if (marked || !line.empty()) break;
    }
    first = false;
    if (separatorWaits) {
      separatorWaits = false;
      lines.push_back(separator);
    }
    total += static_cast<int64_t>(line.size());
    if (marked && IsSeparatorLine(line)) {
      separator.assign(line);
      separatorWaits = true;
    } else {
      lines.emplace_back(line);
    }
  }
  if (separatorWaits) lines.push_back(separator);
}

} // namespace pellora::test
