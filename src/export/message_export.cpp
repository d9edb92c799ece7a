#include "export/message_export.h"

#include "mime/mail_message.h"
#include "mime/mail_text.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/pellora_error.h"
#include "platform/safe_files.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

namespace pellora {

// --- mboxrd -------------------------------------------------------------------------------

namespace {

// A line start of ">"s and a part of "From ": -1 no quote needed, 0 not known yet, 1 quote.
int QuoteState(std::string_view head) {
  size_t k = head.find_first_not_of('>');
  if (k == std::string_view::npos) return 0;
  std::string_view rest = head.substr(k);
  constexpr std::string_view from = "From ";
  if (rest.size() >= from.size()) return rest.starts_with(from) ? 1 : -1;
  return from.starts_with(rest) ? 0 : -1;
}

} // namespace

void TMboxrdQuoter::Emit(std::string_view bytes) {
  if (bytes.empty()) return;
  FOut(bytes);
  FLast = bytes.back();
}

std::string_view TMboxrdQuoter::FeedHead(std::string_view bytes) {
  // Byte by byte, but only for the few bytes of a line start that straddles two blocks.
  size_t used = 0;
  int state = 0;
  while (used < bytes.size() && state == 0) {
    FHead += bytes[used++];
    if (FHead.back() == '\n') {
      state = -1;
      break;
    }
    state = QuoteState(FHead);
  }
  if (state == 0) return {};
  if (state == 1) Emit(">");
  Emit(FHead);
  FLineStart = FHead.back() == '\n';
  FHead.clear();
  return bytes.substr(used);
}

void TMboxrdQuoter::Feed(std::string_view bytes) {
  while (!bytes.empty()) {
    if (FLineStart) {
      bytes = FeedHead(bytes);
      continue;
    }
    // A line that starts in this block and may need quoting is held back when the block ends
    // before that is known.
    size_t lastLf = bytes.rfind('\n');
    std::string_view body = bytes, held;
    if (lastLf != std::string_view::npos && QuoteState(bytes.substr(lastLf + 1)) == 0) {
      body = bytes.substr(0, lastLf + 1);
      held = bytes.substr(lastLf + 1);
    }
    size_t done = 0, from = 0;
    const char* data = body.data();
    while (from < body.size()) {
      const void* hit = memmem(data + from, body.size() - from, "From ", 5);
      if (!hit) break;
      size_t at = static_cast<size_t>(static_cast<const char*>(hit) - data);
      size_t start = at;
      while (start > done && data[start - 1] == '>')
        --start;
      if (start > done && data[start - 1] == '\n') {
        Emit(body.substr(done, start - done));
        Emit(">");
        done = start;
      }
      from = at + 5;
    }
    Emit(body.substr(done));
    bytes = {};
    if (!held.empty() || body.ends_with('\n')) {
      FLineStart = true;
      FeedHead(held);
    }
  }
}

void TMboxrdQuoter::Finish() {
  Emit(FHead);
  FHead.clear();
  FLineStart = true;
}

void TCrLfToLf::Feed(std::string_view bytes) {
  if (bytes.empty()) return;
  FBuffer.clear();
  if (FHeldCr && bytes.front() != '\n') FBuffer += '\r';
  FHeldCr = false;
  for (size_t from = 0;;) {
    const size_t cr = bytes.find('\r', from);
    if (cr == std::string_view::npos) {
      FBuffer.append(bytes.substr(from));
      break;
    }
    FBuffer.append(bytes.substr(from, cr - from));
    if (cr + 1 == bytes.size()) {
      FHeldCr = true;
      break;
    }
    if (bytes[cr + 1] != '\n') FBuffer += '\r';
    from = cr + 1;
  }
  if (!FBuffer.empty()) FOut(FBuffer);
}

void TCrLfToLf::Finish() {
  if (FHeldCr) FOut("\r");
  FHeldCr = false;
}

// --- Names --------------------------------------------------------------------------------

std::string MboxSeparatorLine(const TEMLHeader& header) {
  // The envelope sender: an address without blanks, as readers split the line at blanks.
  std::string sender;
  for (const TSharedText* field : {&header.ReturnPath, &header.Sender, &header.From}) {
    std::string_view text = *field;
    size_t open = text.rfind('<'), close = text.rfind('>');
    if (open != std::string_view::npos && close != std::string_view::npos && close > open + 1)
      text = text.substr(open + 1, close - open - 1);
    size_t at = text.find('@');
    if (at == std::string_view::npos) continue;
    size_t start = text.find_last_of(" \t;,\"(", at);
    size_t stop = text.find_first_of(" \t;,\")", at);
    start = start == std::string_view::npos ? 0 : start + 1;
    sender = text.substr(start, (stop == std::string_view::npos ? text.size() : stop) - start);
    if (!sender.empty()) break;
  }
  for (char& c : sender)
    if (static_cast<unsigned char>(c) <= ' ') c = '_';
  if (sender.empty()) sender = "MAILER-DAEMON";
  TDateTime date = header.Date != 0 ? header.Date : Now();
  TDateParts p = DecodeDateTime(date);
  static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  // Day 0 (30 December 1899) was a Saturday.
  long long day = static_cast<long long>(std::floor(date));
  int weekday = static_cast<int>(((day + 6) % 7 + 7) % 7);
  char when[64];
  std::snprintf(when, sizeof when, "%s %s %2d %02d:%02d:%02d %04d", days[weekday],
                months[std::clamp(p.month, 1, 12) - 1], p.day, p.hour, p.minute, p.second, p.year);
  return "From " + sender + " " + when;
}

namespace {

// The extension of a name ("" when none or when it is most of the name).
size_t ExtensionStart(const std::string& name) {
  size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0 || name.size() - dot > 16) return name.size();
  return dot;
}

// The name of a message whose own name is empty or refused.
std::string FallbackFileName(const TMessageEntry& entry, std::string_view extension) {
  return "message-" + std::to_string(entry.Index) + std::string(extension);
}

} // namespace

std::string MessageFileName(const TMessageEntry& entry, std::string_view extension) {
  std::string stem;
  if (entry.Header.Date != 0) {
    TDateParts p = DecodeDateTime(entry.Header.Date);
    char when[32];
    std::snprintf(when, sizeof when, "%04d-%02d-%02d %02d%02d", p.year, p.month, p.day, p.hour,
                  p.minute);
    stem = when;
  }
  std::string subject = AnsiToUtf8(CleanFileName(entry.Header.Subject));
  if (!subject.empty()) stem += stem.empty() ? subject : " - " + subject;
  // No hidden files, no "." or "..".
  size_t start = stem.find_first_not_of(". ");
  stem = start == std::string::npos ? std::string() : stem.substr(start);
  if (stem.empty()) return FallbackFileName(entry, extension);
  return SafeFileName(stem + std::string(extension));
}

std::string NumberedFileName(const std::string& name, int n) {
  size_t ext = ExtensionStart(name);
  std::string number = " (" + std::to_string(n) + ")";
  std::string_view base = std::string_view(name).substr(0, ext);
  std::string tail = number + name.substr(ext);
  return std::string(Utf8Prefix(base, MaxFileNameBytes - tail.size())) + tail;
}

// --- The export ---------------------------------------------------------------------------

namespace {

class TExport {
public:
  TExport(TMailbox& box, TExportObserver* observer, const std::string& target)
      : FBox(box), FObserver(observer ? observer : &FDefault), FPass(box),
        FFolder(IncludeTrailingPathDelimiter(target)) {}

  void Skip(const TMessageEntry& entry, const std::string& reason) {
    FResult.Skipped.push_back({nkSkippedMessage, {}, reason, entry.Index});
  }

  // A name in the folder that this export has not used yet: " (2)", " (3)", ... after clashes.
  // Each name goes on from the number it reached, so many clashes cost no more than one each.
  std::string FreeName(const std::string& name) {
    std::string chosen = name;
    int& next = FNextNumber.try_emplace(name, 2).first->second;
    while (FUsed.count(chosen))
      chosen = NumberedFileName(name, next++);
    FUsed.insert(chosen);
    return chosen;
  }

  // Writes one file of the folder from fill; false when it was skipped (the reason in the
  // result). A message's file whose name is refused may fall back to "message-<index>" with
  // fallbackExtension; without one, the refusal stops the export.
  bool WriteFile(const TMessageEntry& entry, const std::string& wanted,
                 const std::function<void(TSafeFileWriter&)>& fill,
                 std::string_view fallbackExtension) {
    std::string name = FreeName(wanted);
    TSafeFileWriter writer(FFolder + name, 0666); // a folder that takes no file stops the export
    try {
      fill(writer);
    } catch (const EFileError&) {
      throw; // the target failed: a full disk, a lost folder
    } catch (const std::exception& e) {
      Skip(entry, e.what());
      return false;
    }
    for (int attempt = 0;; ++attempt) {
      std::string path = FFolder + name;
      bool replace = false;
      if (EntryExists(path)) {
        if (!FObserver->Overwrite(path)) {
          Skip(entry, "File already exists \"" + Utf8ToAnsi(path) + "\".");
          return false;
        }
        replace = true;
      }
      try {
        writer.CommitAs(path, replace);
        FObserver->Written(path);
        return true;
      } catch (const EFileError& e) {
        if (e.Code() == EEXIST && attempt < 3) continue; // taken meanwhile: ask again
        if (!IsUnusableNameError(e.Code()) || attempt >= 3) throw;
        std::string other = FObserver->NewName(entry, name);
        if (other.empty()) {
          if (fallbackExtension.empty()) throw;
          other = FallbackFileName(entry, fallbackExtension);
        }
        name = FreeName(SafeFileName(other));
      }
    }
  }

  // The message of a row parsed with its bodies found; false when it was skipped.
  bool Parse(const TMessageEntry& entry, TMailMessage& message) {
    try {
      FBox.Store()->ParseMessage(entry, message);
      message.FindBodies();
      return true;
    } catch (const std::exception& e) {
      Skip(entry, e.what());
      return false;
    }
  }

  std::string Origin(const TMessageEntry& entry) const { return FBox.Store()->Origin(entry); }

  bool Step(size_t done, size_t total) {
    if (!FObserver->Progress(done, total)) {
      FResult.Cancelled = true;
      return false;
    }
    return true;
  }

  void ExportEml(const std::vector<uint32_t>& rows) {
    for (size_t i = 0; i < rows.size(); ++i) {
      if (!Step(i, rows.size())) return;
      const TMessageEntry& entry = FBox.Entries()[rows[i]];
      bool written = WriteFile(
          entry, MessageFileName(entry),
          [&](TSafeFileWriter& writer) {
            FBox.ReadStored(entry, [&](std::string_view bytes) { writer.Write(bytes); });
          },
          ".eml");
      if (written) ++FResult.Messages;
    }
    Step(rows.size(), rows.size());
  }

  // A file already at target is replaced only when the user agrees; a refusal cancels the export.
  bool MayWriteOver(const std::string& target, bool& replace) {
    replace = EntryExists(target);
    if (replace && !FObserver->Overwrite(target)) {
      FResult.Cancelled = true;
      return false;
    }
    return true;
  }

  void ExportMbox(const std::vector<uint32_t>& rows, const std::string& target) {
    bool replace = false;
    if (!MayWriteOver(target, replace)) return;
    TSafeFileWriter writer(target, 0666);
    TMboxrdQuoter quoter([&](std::string_view bytes) { writer.Write(bytes); });
    for (size_t i = 0; i < rows.size(); ++i) {
      if (!Step(i, rows.size())) break;
      const TMessageEntry& entry = FBox.Entries()[rows[i]];
      const uint64_t start = writer.Position();
      try {
        writer.Write(MboxSeparatorLine(entry.Header));
        writer.Write("\n");
        TCrLfToLf lines([&](std::string_view bytes) { quoter.Feed(bytes); });
        FBox.ReadStored(entry, [&](std::string_view bytes) { lines.Feed(bytes); });
        lines.Finish();
        quoter.Finish();
        if (quoter.LastByte() != '\n') writer.Write("\n");
        writer.Write("\n"); // the empty line before the next separator
        ++FResult.Messages;
      } catch (const EFileError&) {
        throw;
      } catch (const std::exception& e) {
        // A message that failed half-way leaves nothing of itself.
        quoter.Finish();
        writer.Rewind(start);
        Skip(entry, e.what());
      }
    }
    if (!FResult.Cancelled) Step(rows.size(), rows.size());
    writer.CommitAs(target, replace);
    FObserver->Written(target);
  }

  void ExportAttachments(const std::vector<uint32_t>& rows) {
    for (size_t i = 0; i < rows.size(); ++i) {
      if (!Step(i, rows.size())) return;
      const TMessageEntry& entry = FBox.Entries()[rows[i]];
      TMailMessage message;
      if (!Parse(entry, message)) continue;
      uint32_t written = 0;
      for (TMailPart* part : message.Attachments()) {
        std::string name = SafeFileName(AnsiToUtf8(CleanFileName(part->AttachmentFileName())));
        bool ok = WriteFile(
            entry, name,
            [&](TSafeFileWriter& writer) {
              part->DecodeBody();
              writer.Write(part->DecodedBody());
            },
            {});
        if (ok) ++written;
      }
      FResult.Attachments += written;
      if (written > 0) ++FResult.Messages;
    }
    Step(rows.size(), rows.size());
  }

  // Each message rendered into a file of its own.
  void ExportPdf(const std::vector<uint32_t>& rows, TPdfMaker& pdf) {
    for (size_t i = 0; i < rows.size(); ++i) {
      if (!Step(i, rows.size())) return;
      const TMessageEntry& entry = FBox.Entries()[rows[i]];
      TMailMessage message;
      if (!Parse(entry, message)) continue;
      bool written = WriteFile(
          entry, MessageFileName(entry, ".pdf"),
          [&](TSafeFileWriter& writer) { writer.Write(pdf.MessagePdf(message, Origin(entry))); },
          ".pdf");
      if (written) ++FResult.Messages;
    }
    Step(rows.size(), rows.size());
  }

  // The messages rendered into one book, written when the last is in. As with the mailbox
  // file, a cancelled export writes the messages rendered until then.
  void ExportPdfOne(const std::vector<uint32_t>& rows, const std::string& target, TPdfMaker& pdf) {
    bool replace = false;
    if (!MayWriteOver(target, replace)) return;
    for (size_t i = 0; i < rows.size(); ++i) {
      if (!Step(i, rows.size())) break;
      const TMessageEntry& entry = FBox.Entries()[rows[i]];
      TMailMessage message;
      if (!Parse(entry, message)) continue;
      try {
        pdf.AddToBook(pdf.MessagePdf(message, Origin(entry)), message);
        ++FResult.Messages;
      } catch (const std::exception& e) {
        Skip(entry, e.what());
      }
    }
    if (!FResult.Cancelled) Step(rows.size(), rows.size());
    if (FResult.Messages == 0) return; // a file of no pages would be no PDF
    TSafeFileWriter writer(target, 0666);
    pdf.WriteBook([&](std::string_view bytes) { writer.Write(bytes); });
    writer.CommitAs(target, replace);
    FObserver->Written(target);
  }

  TExportResult Result() const { return FResult; }

private:
  TMailbox& FBox;
  TExportObserver FDefault;
  TExportObserver* FObserver;
  TReadPass FPass; // the store's files stay open from message to message
  std::string FFolder;
  std::unordered_set<std::string> FUsed;
  std::unordered_map<std::string, int> FNextNumber; // by the name wanted
  TExportResult FResult;
};

} // namespace

TExportResult ExportMessages(TMailbox& box, const std::vector<uint32_t>& rows, TExportFormat format,
                             const std::string& target, TExportObserver* observer, TPdfMaker* pdf) {
  if ((format == efPdf || format == efPdfOne) && !pdf)
    throw EPelloraError("PDF files cannot be made here.");
  if (format == efMbox || format == efPdfOne) {
    TExport run(box, observer, ExtractFilePath(target));
    if (format == efMbox)
      run.ExportMbox(rows, target);
    else
      run.ExportPdfOne(rows, target, *pdf);
    return run.Result();
  }
  if (!DirectoryExists(target))
    throw EPelloraError("Cannot write to folder \"" + Utf8ToAnsi(target) + "\". " +
                        std::strerror(ENOENT));
  TExport run(box, observer, target);
  if (format == efEml)
    run.ExportEml(rows);
  else if (format == efPdf)
    run.ExportPdf(rows, *pdf);
  else
    run.ExportAttachments(rows);
  return run.Result();
}

} // namespace pellora
