#pragma once
#include "stores/open_kind.h"
#include "stores/entry_sorter.h"
#include "stores/mailbox_file.h"
#include "stores/message_entry.h"
#include "stores/oe_reader.h"

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace pellora {

class TMailbox;
class TEntryTextPieces;

// What a load tells the window that shows it, as the load goes on.
class TLoadObserver {
public:
  virtual ~TLoadObserver() = default;
  // The caption, the information lines or the status text changed: show them now.
  virtual void Repaint(const TMailbox& box) {}
  // Work done of work in all (messages, files or bytes).
  virtual void Progress(uint64_t done, uint64_t total) {}
};

struct TLoadResult {
  bool Loaded = false;
  std::string ErrorText; // what the error box shows after a failure
};

// What a mailbox window shows of a store: its rows in the list's order, its reader, the
// information lines and the status texts. The window displays this object and asks it for
// message texts.
class TMailbox {
public:
  TMailbox() = default;
  TMailbox(const TMailbox&) = delete;
  TMailbox& operator=(const TMailbox&) = delete;

  // Loads a store of kind 0, 1 or 2 (anything else is not loaded) and sorts its rows by the
  // sort column.
  TLoadResult Load(const std::string& path, TOpenKind kind, TLoadObserver* observer = nullptr);

  TOpenKind Kind() const { return FKind; }
  // The path the last load was given.
  const std::string& Path() const { return FPath; }
  // The rows, sorted by the sort column at load time.
  const std::vector<TMessageEntry>& Entries() const { return FEntries; }
  // The database reader behind rows of kind 0; null for other stores.
  TOEReader* Reader() const { return FReader.get(); }
  // How the last mailbox file loaded told its messages apart.
  TMailboxRule MailboxRule() const { return FMailboxRule; }
  const std::vector<std::string>& Memo() const { return FMemo; }
  // Adds an information line, such as a message an export had to skip.
  void AddMemo(std::string line) { FMemo.push_back(std::move(line)); }
  const std::string& DetailCaption() const { return FDetailCaption; }
  // The operation and its elapsed time (status panel 1).
  const std::string& StatusText() const { return FStatusText; }

  // The list's order: positions in Entries().
  const std::vector<uint32_t>& Order() const { return FOrder; }
  int SortColumn() const { return FSortColumn; }
  bool SortDescending() const { return FSortDescending; }
  // Sorts the order by a column, stably from its current arrangement.
  void Sort(int column, bool descending);

  // The message's lines; valid until the next call.
  const std::vector<std::string>& LoadEntryLines(const TMessageEntry& entry);
  // Calls visit with the message's lines until it returns false; a mailbox file's lines are
  // not copied.
  void VisitEntryLines(const TMessageEntry& entry, const TLineVisitor& visit);
  // The message's lines, each followed by CR LF, into text.
  void ReadEntryText(const TMessageEntry& entry, std::string& text);
  // The raw text of the message behind a row.
  std::string GetEntryText(const TMessageEntry& entry);
  // The whole text of a database or message-file row as the store holds it, up to a zero byte
  // in a database; empty for other rows.
  std::string StoredText(const TMessageEntry& entry);

  // Reading a row checks its store against the load. A store that another program changed since
  // is noted once in Memo ("the mailbox file changed on disk: reload it"): a mailbox file cut
  // short or written before its old end (mail appended at its end changes no row), a message
  // file gone or changed, a database of another size. A row whose message can no longer be
  // found where the load saw it raises, and is never looked for again from the start of the
  // file.

  // A mailbox file row's bytes in the file, [begin, end), its separator line first, as the load
  // found them; false for other rows. Raises the note's text when the file changed so that the
  // bytes are no longer the row's: its separator line is not at begin, or the file no longer
  // holds them.
  bool MailboxExtent(const TMessageEntry& entry, int64_t& begin, int64_t& end);
  // The file of a message-file row as it is now: a Maildir file renamed by another program (new
  // flags, moved to cur/) is found by the part of its name before the info.
  std::string EntryFile(const TMessageEntry& entry);
  // The row whose entry has Index; null when there is none.
  const TMessageEntry* FindEntry(int32_t index) const;
  uint32_t Flags(const TMessageEntry& entry) const { return EntryFlags(entry, FReader.get()); }
  bool HasAttachment(const TMessageEntry& entry) const {
    return EntryHasAttachment(entry, FReader.get());
  }

private:
  friend class TEntryTextPieces;

  bool LoadOEDatabase(const std::string& path);
  bool LoadMessageFolder(const std::string& path);
  bool LoadMailboxFile(const std::string& path);
  void ListReaderMessages();
  void NoteStoreChange();
  [[noreturn]] void RaiseStoreChanged();
  // Notes a change when the database file is no longer of the size the reader opened.
  void CheckDatabase();
  // Whether the mailbox file, now larger than loaded, holds its bytes as loaded before its old
  // end (mail appended at the end).
  bool GrewAtEnd(const TFileStamp& now);
  // Whether a mailbox file row's bytes are still its own in a file that changed since the load.
  bool StillInPlace(const TMessageEntry& entry, const TFileStamp& now, bool grewAtEnd);
  // Whether a mailbox file row ends where the file ended at load time.
  bool LastInFile(const TMessageEntry& entry) const {
    return static_cast<uint64_t>(entry.EndOffset) == FMailboxStamp.size;
  }
  std::string MaildirFileNow(const std::string& path);
  // Puts the entries in the order of the sort column; the order becomes the identity.
  void SortEntries();
  void Repaint() {
    if (FObserver) FObserver->Repaint(*this);
  }
  void Progress(uint64_t done, uint64_t total) {
    if (FObserver) FObserver->Progress(done, total);
  }

  TOpenKind FKind = okUnknown;
  std::string FPath;
  std::unique_ptr<TOEReader> FReader;
  std::vector<TMessageEntry> FEntries;
  std::vector<uint32_t> FOrder;
  std::unique_ptr<TEntrySorter> FSorter; // its ranks belong to the entries of the last load
  int FSortColumn = lcReceived;
  bool FSortDescending = true;
  std::vector<std::string> FLines; // one message's lines at a time
  std::vector<std::string> FMemo;  // information lines below the list
  std::string FDetailCaption; // empty: the window keeps its own title
  std::string FStatusText;
  TLoadObserver* FObserver = nullptr; // during a load only
  // The mailbox file as the load read it: the bytes read and the modification time, and a
  // hash of its last bytes.
  TFileStamp FMailboxStamp;
  uint32_t FMailboxTail = 0;
  TFileStamp FGrownStamp; // the larger file GrewAtEnd looked at last, and its answer
  bool FGrownAtEnd = false;
  TMailboxRule FMailboxRule = mrMarked;
  bool FStoreChanged = false; // noted in Memo
  // A Maildir's files by the part of their names before the info, as cur/ and new/ were (their
  // stamps) when they were listed last: listed again only once they changed.
  std::unordered_map<std::string, std::string> FMaildirFiles;
  TFileStamp FMaildirListed[2];
};

// Gives the raw texts of many rows in one pass (a filter) in consecutive pieces without splitting
// them into lines: a mailbox file's message as the bytes it spans, a database's text block by
// block, a message file whole. The pieces keep the store's own line ends (LF, CR LF or a lone
// CR), so only a search that cannot span a line end may use them. A mailbox file stays open for
// the pass, that is for the life of this object.
class TEntryTextPieces {
public:
  explicit TEntryTextPieces(TMailbox& box) : FBox(box) {}
  ~TEntryTextPieces();
  TEntryTextPieces(const TEntryTextPieces&) = delete;
  TEntryTextPieces& operator=(const TEntryTextPieces&) = delete;

  // Calls piece with the row's text until it returns false; raises as LoadEntryLines does. False
  // when the text cannot be given so and must be read as lines: the message's bytes differ from
  // its lines by more than line ends (a CR inside a line, a Ctrl-Z), or the file changed while
  // it was read. What piece was given before such a false lies within the message's lines.
  bool Visit(const TMessageEntry& entry, const TTextPieceVisitor& piece);
  // The row's lines, each followed by CR LF, into text: what TMailbox::ReadEntryText gives,
  // taken from a mailbox file's bytes in large blocks where Visit can give them.
  void ReadText(const TMessageEntry& entry, std::string& text);

private:
  bool VisitMailboxBytes(const TMessageEntry& entry, const TTextPieceVisitor& piece);

  TMailbox& FBox;
  int FHandle = -1; // the mailbox file, opened at its first message
  std::string FHandlePath;
  std::vector<char> FBuffer;
  std::string FFileText; // a message file's text
};

// Raises the text the error box shows when a path cannot be opened as a store of its kind:
// it must exist (a folder for kind 1, a file otherwise) and be of kind 0, 1 or 2.
void CheckStorePath(const std::string& path, TOpenKind kind);
// Loads a store as its opener does: CheckStorePath, then the load; a failure raises its text.
void LoadStoreChecked(TMailbox& box, const std::string& path, TOpenKind kind,
                      TLoadObserver* observer = nullptr);

// A folder holding cur/ and new/: its messages are the files in them.
bool IsMaildir(const std::string& path);
// Whether a folder opens as a folder of messages with any: a Maildir, or ".eml" files in it.
bool FolderHoldsMessages(const std::string& path);
// The flags a Maildir file name's info ("...:2,FRS") gives, in a database row's bits.
uint32_t MaildirFlagsOf(std::string_view name);
// The flags an X-Mozilla-Status field's value ("0001") gives, in a database row's bits; none
// when the value is not four hexadecimal digits.
std::optional<uint32_t> MozillaStatusFlags(std::string_view value);

// Splits text into lines at CR LF, lone CR or lone LF; a final line end adds no empty line.
void SplitTextLines(std::string_view text, std::vector<std::string>& lines);
// The "To" text of a database row: names and addresses paired by position.
std::string JoinRecipients(std::string_view names, std::string_view addresses);

} // namespace pellora
