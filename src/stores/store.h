#pragma once
// A store of messages behind one interface. Each kind of store (a database, a folder of message
// files, a mailbox file, ...) is one implementation in stores/kinds/, made by the one
// registration of the kinds (stores/kinds/store_kinds.h). TMailbox keeps a store's rows and asks
// its store for everything else: no code outside the kinds asks which kind a store is.
#include "stores/input_stream.h"
#include "stores/message_entry.h"
#include "stores/store_notes.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pellora {

class TMailMessage;

// Whom a store loads for and tells what it finds: TMailbox.
class TStoreOwner {
public:
  virtual ~TStoreOwner() = default;
  // The rows: a load appends one per message, their Index numbering them in the store's order.
  virtual std::vector<TMessageEntry>& Rows() = 0;
  // Work done of work in all (messages, files or bytes).
  virtual void Progress(uint64_t done, uint64_t total) = 0;
  virtual void Note(TStoreNote note) = 0;
};

// How a store shows in the window bar and as its window's icon.
enum TStoreIcon : uint8_t { siDatabase, siFolder, siMailboxFile };

// The author of a row as its store keeps it: a message's own From field (its Sender where it
// has none), or a database's From name with, as Address, the sender address its record keeps.
struct TAuthor {
  std::string_view Field;
  std::string_view Address;
  // The text of the list's "From" column.
  std::string_view Text() const { return Address.empty() ? Field : Address; }
};

// How a store is loaded. With Recover, the rows also hold the messages found outside the store's
// index and those it keeps as deleted (rsRecovered, rsDeleted); the store is never changed.
struct TLoadOptions {
  bool Recover = false;
};

// A folder of a store that keeps its rows in a tree of folders.
struct TStoreFolder {
  std::string Path; // its names from the top, parted by "/" (UTF-8)
  std::string Name;
  int Depth = 0;
  int64_t Items = 0; // rows in the folder itself
  int64_t Mails = 0; // of them e-mail messages
};

class TStore {
public:
  TStore() = default;
  virtual ~TStore() = default;
  TStore(const TStore&) = delete;
  TStore& operator=(const TStore&) = delete;

  // Loads the store at path: appends its rows to the owner's, and notes facts; raises with the
  // text the error box shows. The owner must outlive the store.
  void Load(const std::string& path, TStoreOwner& owner, TLoadOptions options = {});

  // A row's message, read where the load found it. Every reader raises, with the text the user
  // is shown, when the message cannot be read. A store that another program changed since the
  // load is noted once (nkStoreChanged); a row whose message can no longer be found where the
  // load saw it raises, and is never looked for again from the start of the file.

  // The message's lines as the viewer reads them, until visit returns false.
  virtual void VisitLines(const TMessageEntry& entry, const TLineVisitor& visit) = 0;
  // The text a message window shows: the lines, each followed by CR LF.
  virtual std::string ViewText(const TMessageEntry& entry);
  // The message as the store holds it, block by block: what export writes.
  virtual void ReadStored(const TMessageEntry& entry, const TByteSink& sink) = 0;
  // The message's text in consecutive pieces without splitting it into lines, as fast as the
  // store gives it, until piece returns false. The pieces keep the store's own line ends (LF,
  // CR LF or a lone CR), so only a search that cannot span a line end may use them. False when
  // the text cannot be given so and must be read as lines (its bytes differ from its lines by
  // more than line ends, or the store changed while it was read); what piece was given before
  // such a false lies within the message's lines.
  virtual bool VisitPieces(const TMessageEntry& entry, const TTextPieceVisitor& piece);
  // The lines, each followed by CR LF, into text: what ViewText gives, read in large blocks where
  // the store can.
  virtual void ReadLinesText(const TMessageEntry& entry, std::string& text);
  // The message parsed, to find its attachments.
  virtual void ParseMessage(const TMessageEntry& entry, TMailMessage& message);

  // While a pass lasts (a search, an export: many rows one after another), the store keeps what
  // it reads open from row to row. Passes may nest.
  void BeginPass() { ++FPasses; }
  void EndPass();
  // Whether a pass should read rows in the store's order (by Index): a store read front to back
  // reads them at far less cost so.
  virtual bool ReadsForward() const { return false; }

  // What the store is, for the window and the command line.
  virtual TStoreIcon Icon() const = 0;
  // The window's title for the store at path: the file's name without its extension.
  virtual std::string Caption(const std::string& path) const;
  // The store's name in the title of a message window opened from a row (in the code page).
  virtual std::string Name(const TMessageEntry& entry) const;
  // Where a message window says its message comes from (in the code page).
  virtual std::string Origin(const TMessageEntry& entry) const;
  // The name messages saved from the store are offered under, the first row saved given (UTF-8).
  virtual std::string ExportName(const TMessageEntry& first) const = 0;
  virtual TAuthor Author(const TMessageEntry& entry) const;
  // Whether the row shows the attachment icon: by default what the header says (a
  // multipart/mixed or multipart/related message, or a whole message sent as an attachment).
  virtual bool HasAttachment(const TMessageEntry& entry) const;
  // A store that keeps its rows in folders: the row's folder path (as TStoreFolder::Path), its
  // kind of item ("mail", "appointment", "contact", ...) and the folders in tree order; empty for
  // other stores.
  virtual std::string_view Folder(const TMessageEntry& entry) const { return {}; }
  virtual std::string_view ItemKind(const TMessageEntry& entry) const { return {}; }
  virtual std::vector<TStoreFolder> Folders() const { return {}; }

protected:
  // Fills the rows from the store at path.
  virtual void LoadRows(const std::string& path) = 0;
  // The pass ended: what was kept open for it may close.
  virtual void PassEnded() {}
  bool InPass() const { return FPasses > 0; }
  // The path the store was loaded from.
  const std::string& StorePath() const { return FPath; }
  // Whether the load looks for messages outside the index and for deleted ones.
  bool Recovering() const { return FOptions.Recover; }

  std::vector<TMessageEntry>& Rows() { return FOwner->Rows(); }
  void Progress(uint64_t done, uint64_t total) { FOwner->Progress(done, total); }
  void Note(TStoreNote note) {
    if (FLoading) FLoadNotes.push_back(note);
    FOwner->Note(std::move(note));
  }
  // The notes of the load under way, to be kept with its rows.
  const std::vector<TStoreNote>& LoadNotes() const { return FLoadNotes; }
  // Notes, once, that another program changed the store since the load.
  void NoteStoreChange();
  // The same, then raises the note's text: the row cannot be read.
  [[noreturn]] void RaiseStoreChanged();

private:
  TStoreOwner* FOwner = nullptr;
  std::string FPath;
  TLoadOptions FOptions;
  int FPasses = 0;
  bool FStoreChanged = false;
  bool FLoading = false;
  std::vector<TStoreNote> FLoadNotes;
};

// Whether a row's folder path is path or lies under it (an empty path holds every row).
bool FolderWithin(std::string_view folder, std::string_view path);
// Texts of the row just added that equal the row before's take its storage (call after each
// row added).
void ShareWithRowBefore(std::vector<TMessageEntry>& rows);
// The file name of path cut just before the first occurrence of its extension.
std::string NameWithoutExtension(const std::string& path);
// Splits text into lines at CR LF, lone CR or lone LF; a final line end adds no empty line.
void SplitTextLines(std::string_view text, std::vector<std::string>& lines);

} // namespace pellora
