#pragma once
#include "stores/entry_sorter.h"
#include "stores/message_entry.h"
#include "stores/open_kind.h"
#include "stores/store.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace pellora {

// What a load tells the window that shows it, as the load goes on.
class TMailbox;

class TLoadObserver {
public:
  virtual ~TLoadObserver() = default;
  // Work done of work in all (messages, files or bytes).
  virtual void Progress(uint64_t done, uint64_t total) {}
  // The first rows found, in the store's order, long before the load ends: a window shows them
  // at once. Called once per load, on the loading thread, with rows the loader may change as soon
  // as the call returns.
  virtual void FirstRows(const TMailbox& box, const std::vector<TMessageEntry>& rows) {}
};

struct TLoadResult {
  bool Loaded = false;
  std::string ErrorText;     // what the error box shows after a failure
  uint64_t Milliseconds = 0; // how long the load took
};

// What a mailbox window shows of a store: its rows in the list's order, and the facts the store
// and the operations on its rows noted (the information lines' matter). It knows no kind of
// store: the store it loads answers every question about its rows.
class TMailbox : private TStoreOwner {
public:
  TMailbox() = default;
  TMailbox(const TMailbox&) = delete;
  TMailbox& operator=(const TMailbox&) = delete;

  // Loads the store that path is, opened as kind, and sorts its rows by the sort column. A kind
  // that opens no mailbox window loads nothing.
  TLoadResult Load(const std::string& path, TOpenKind kind, TLoadObserver* observer = nullptr,
                   TLoadOptions options = {});
  // The options the last load was given.
  const TLoadOptions& Options() const { return FOptions; }

  // The kind and the path the last load was given.
  TOpenKind Kind() const { return FKind; }
  const std::string& Path() const { return FPath; }
  // The store of the last load; null before one, and after a load of a kind that is no store.
  TStore* Store() const { return FStore.get(); }
  // The rows, sorted by the sort column at load time.
  const std::vector<TMessageEntry>& Entries() const { return FEntries; }
  // The facts noted since the last load began, oldest first.
  const std::vector<TStoreNote>& Notes() const { return FNotes; }
  // Adds a fact, such as a message an export had to skip.
  void AddNote(TStoreNote note) { FNotes.push_back(std::move(note)); }

  // The list's order: positions in Entries().
  const std::vector<uint32_t>& Order() const { return FOrder; }
  int SortColumn() const { return FSortColumn; }
  bool SortDescending() const { return FSortDescending; }
  // Sorts the order by a column, stably from its current arrangement.
  void Sort(int column, bool descending);

  // A row's message, read by its store (TStore says how each read may fail).
  // The message's lines; valid until the next call.
  const std::vector<std::string>& LoadEntryLines(const TMessageEntry& entry);
  // Calls visit with the message's lines until it returns false.
  void VisitEntryLines(const TMessageEntry& entry, const TLineVisitor& visit);
  // The message's lines, each followed by CR LF, into text.
  void ReadEntryText(const TMessageEntry& entry, std::string& text);
  // The text a message window shows.
  std::string GetEntryText(const TMessageEntry& entry);
  // The message as the store holds it (what export writes), block by block or whole.
  void ReadStored(const TMessageEntry& entry, const TByteSink& sink);
  std::string StoredText(const TMessageEntry& entry);

  // Reads from two threads take turns: every load and every read of a row above holds the turn,
  // and a pass holds it for its whole length. A reader on another thread waits for its turn
  // (TryReadTurn) and reads with ReadAside.
  using TReadTurn = std::unique_lock<std::recursive_timed_mutex>;
  TReadTurn ReadTurn() const { return TReadTurn(FReadMutex); }
  TReadTurn TryReadTurn(std::chrono::milliseconds wait) const {
    return TReadTurn(FReadMutex, wait);
  }
  // How many loads began: a row's position belongs to the load it was taken in.
  uint64_t LoadCount() const { return FLoadCount; }
  // On another thread: the text a message window shows of the row at position entry of load
  // number load, into text; false when another load came since. The notes the read makes wait
  // for TakeWaitingNotes.
  bool ReadAside(uint64_t load, uint32_t entry, std::string& text);
  // On the mailbox's own thread: adds the notes of reads aside to Notes(); whether there were any.
  bool TakeWaitingNotes();

  // The row whose entry has Index; null when there is none.
  const TMessageEntry* FindEntry(int32_t index) const;
  uint32_t Flags(const TMessageEntry& entry) const { return EntryFlags(entry); }
  bool HasAttachment(const TMessageEntry& entry) const {
    return FStore && FStore->HasAttachment(entry);
  }
  // The text of the list's "From" column.
  std::string_view FromText(const TMessageEntry& entry) const {
    return FStore ? FStore->Author(entry).Text() : std::string_view();
  }
  // A store of folders: the row's folder and kind of item, and the folders (see TStore).
  std::string_view FolderOf(const TMessageEntry& entry) const {
    return FStore ? FStore->Folder(entry) : std::string_view();
  }
  std::string_view ItemKindOf(const TMessageEntry& entry) const {
    return FStore ? FStore->ItemKind(entry) : std::string_view();
  }
  std::vector<TStoreFolder> Folders() const {
    return FStore ? FStore->Folders() : std::vector<TStoreFolder>();
  }

private:
  std::vector<TMessageEntry>& Rows() override { return FEntries; }
  void Progress(uint64_t done, uint64_t total) override {
    if (!FObserver) return;
    if (!FFirstRowsShown && FEntries.size() >= FirstRowCount) {
      FFirstRowsShown = true;
      FObserver->FirstRows(*this, FEntries);
    }
    FObserver->Progress(done, total);
  }
  void Note(TStoreNote note) override {
    (FReadingAside ? FWaitingNotes : FNotes).push_back(std::move(note));
  }
  // The store, or the error of a row read before any load.
  TStore& ReadingStore();
  // Puts the entries in the order of the sort column; the order becomes the identity.
  void SortEntries();

  TOpenKind FKind = okUnknown;
  std::string FPath;
  TLoadOptions FOptions;
  std::unique_ptr<TStore> FStore;
  std::vector<TMessageEntry> FEntries;
  std::vector<uint32_t> FOrder;
  std::unique_ptr<TEntrySorter> FSorter; // its ranks belong to the entries of the last load
  int FSortColumn = lcReceived;
  bool FSortDescending = true;
  std::vector<std::string> FLines; // one message's lines at a time
  std::vector<TStoreNote> FNotes;
  TLoadObserver* FObserver = nullptr; // during a load only
  // A screenful, and more; the load gives them at its first progress with as many.
  static constexpr size_t FirstRowCount = 100;
  bool FFirstRowsShown = false;
  mutable std::recursive_timed_mutex FReadMutex;
  uint64_t FLoadCount = 0;
  bool FReadingAside = false;              // with the turn held
  std::vector<TStoreNote> FWaitingNotes; // with the turn held
};

// While it lives, the mailbox's store keeps what it reads open from row to row: for a search or
// an export, which read many rows one after another. It holds the mailbox's read turn.
class TReadPass {
public:
  explicit TReadPass(TMailbox& box) : FTurn(box.ReadTurn()), FStore(box.Store()) {
    if (FStore) FStore->BeginPass();
  }
  ~TReadPass() {
    if (FStore) FStore->EndPass();
  }
  TReadPass(const TReadPass&) = delete;
  TReadPass& operator=(const TReadPass&) = delete;

private:
  TMailbox::TReadTurn FTurn;
  TStore* FStore;
};

} // namespace pellora
