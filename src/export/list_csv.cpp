#include "export/list_csv.h"

#include "platform/codepage.h"
#include "platform/csv_field.h"
#include "platform/safe_files.h"
#include "stores/oe_reader.h"

namespace pellora {

std::string ListCsvFlags(const TMailbox& box, const TMessageEntry& entry) {
  std::string flags;
  auto add = [&](const char* word) {
    if (!flags.empty()) flags += ' ';
    flags += word;
  };
  if (EntryHasFlags(entry)) {
    const uint32_t bits = box.Flags(entry);
    add(bits & mfRead ? "read" : "unread");
    if (bits & mfFlagged) add("flagged");
    if (bits & mfReplied) add("replied");
    if (bits & mfForwarded) add("forwarded");
  }
  if (entry.Header.Priority == 1) add("priority-high");
  if (entry.Header.Priority == 5) add("priority-low");
  return flags;
}

void WriteListCsv(const TMailbox& box, const std::vector<uint32_t>& rows,
                  const std::function<void(std::string_view)>& sink) {
  sink("Number,From,Subject,To,Date,Size,Flags,Attachment\r\n");
  std::string line;
  for (uint32_t row : rows) {
    const TMessageEntry& entry = box.Entries().at(row);
    line = std::to_string(static_cast<int64_t>(entry.Index) + 1);
    for (std::string_view text : {box.FromText(entry), entry.Header.Subject.view(),
                                  entry.Header.To.view()}) {
      line += ',';
      line += CsvField(AnsiToUtf8(text));
    }
    line += ',';
    if (entry.Header.Date != 0) line += FormatIsoDateTime(entry.Header.Date);
    line += ',' + std::to_string(entry.Header.Size);
    line += ',' + CsvField(ListCsvFlags(box, entry));
    line += box.HasAttachment(entry) ? ",yes\r\n" : ",no\r\n";
    sink(line);
  }
}

void SaveListCsv(const TMailbox& box, const std::vector<uint32_t>& rows, const std::string& path) {
  TSafeFileWriter writer(path);
  WriteListCsv(box, rows, [&](std::string_view bytes) { writer.Write(bytes); });
  writer.Commit(true);
}

} // namespace pellora
