#pragma once
// Getting mail out of a store: messages as .eml files or one mailbox file (mboxrd), their
// attachments, or the messages as PDF. Message texts are copied as stored, never parsed; only
// attachments and PDFs need a parse.
#include "stores/mailbox.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace pellora {

class TMailMessage;

// Passes a message's text on with mboxrd quoting: a line of any number of ">" and then "From "
// gets one more ">". Lines may be split anywhere between calls.
class TMboxrdQuoter {
public:
  explicit TMboxrdQuoter(TByteSink out) : FOut(std::move(out)) {}
  void Feed(std::string_view bytes);
  // Passes on a line start still held back; the next Feed starts a message.
  void Finish();
  // The last byte passed on; 0 when none.
  char LastByte() const { return FLast; }

private:
  void Emit(std::string_view bytes);
  std::string_view FeedHead(std::string_view bytes);

  TByteSink FOut;
  std::string FHead; // the start of a line that may yet turn out to need quoting
  bool FLineStart = true;
  char FLast = 0;
};

// Passes bytes on with every CR LF made LF, as a mailbox file on this system has its lines (RFC
// 4155); a CR that ends a block waits for the next. Other CRs pass unchanged.
class TCrLfToLf {
public:
  explicit TCrLfToLf(TByteSink out) : FOut(std::move(out)) {}
  void Feed(std::string_view bytes);
  // Passes on a CR still held back.
  void Finish();

private:
  TByteSink FOut;
  std::string FBuffer;
  bool FHeldCr = false;
};

// "From sender Www Mmm dd hh:mm:ss yyyy": the envelope line of a row in an exported mailbox file.
std::string MboxSeparatorLine(const TEMLHeader& header);
// "YYYY-MM-DD HHMM - Subject.eml" (UTF-8), cleaned for the file system and cut to a safe length;
// "message-<index>.eml" when neither a date nor a subject is there. A PDF's name ends in ".pdf".
std::string MessageFileName(const TMessageEntry& entry, std::string_view extension = ".eml");
// name with " (n)" before its extension, cut so that the whole stays a safe length.
std::string NumberedFileName(const std::string& name, int n);

enum TExportFormat : uint8_t {
  efEml = 0,         // one .eml file per message in a folder
  efMbox = 1,        // one mailbox file holding all the messages
  efAttachments = 2, // every attachment of the messages in a folder
  efPdf = 3,         // one PDF file per message in a folder
  efPdfOne = 4,      // one PDF file of all the messages, each from a new page, a bookmark each
};

// Makes the PDFs of an export; the render library has one, as PDFs need Qt.
class TPdfMaker {
public:
  virtual ~TPdfMaker() = default;
  // A message's PDF (FindBodies has run); origin is where it came from (in the code page).
  // Raises when the message cannot be rendered.
  virtual std::string MessagePdf(TMailMessage& message, const std::string& origin) = 0;
  // Adds a message's PDF to the one file, bookmarked for the message; raises on a PDF it cannot
  // take.
  virtual void AddToBook(const std::string& pdf, const TMailMessage& message) = 0;
  // The one file, piece by piece.
  virtual void WriteBook(const TByteSink& sink) = 0;
};

// What an export asks and tells the window or the command line that runs it.
class TExportObserver {
public:
  virtual ~TExportObserver() = default;
  // done of total messages; false stops before the next message.
  virtual bool Progress(uint64_t done, uint64_t total) { return true; }
  // A file of that name was there before the export: true replaces it, false keeps it and skips.
  virtual bool Overwrite(const std::string& path) { return false; }
  // The file system refused a message's name: another name (UTF-8, same folder), or "" for
  // "message-<index>.eml".
  virtual std::string NewName(const TMessageEntry& entry, const std::string& refused) { return {}; }
  virtual void Written(const std::string& path) {}
};

struct TExportResult {
  uint32_t Messages = 0;    // written, or with their attachments written
  uint32_t Attachments = 0; // attachment files written
  // The messages not written, in order, each with why (nkSkippedMessage).
  std::vector<TStoreNote> Skipped;
  bool Cancelled = false;
};

// Writes the rows (positions in box.Entries()) in the order given to target: a folder for .eml
// files, attachments and PDF files, a file for the mailbox file and the one PDF file (written
// only when a message went into it). A message that cannot be read or rendered, or whose file
// may not be written, is skipped, and named in the result; a target that cannot be written
// raises EPelloraError and leaves no partial file (files already complete stay). The PDF
// formats need pdf.
TExportResult ExportMessages(TMailbox& box, const std::vector<uint32_t>& rows,
                             TExportFormat format, const std::string& target,
                             TExportObserver* observer = nullptr, TPdfMaker* pdf = nullptr);

} // namespace pellora
