#include "stores/mailbox.h"

#include "platform/date_time.h"
#include "platform/pellora_error.h"
#include "stores/kinds/store_kinds.h"
#include "stores/mailbox_file.h"

#include <numeric>

namespace pellora {

TLoadResult TMailbox::Load(const std::string& path, TOpenKind kind, TLoadObserver* observer,
                           TLoadOptions options) {
  struct TObserving {
    TMailbox& box;
    ~TObserving() { box.FObserver = nullptr; }
  } observing{*this};
  const TReadTurn turn = ReadTurn();
  ++FLoadCount;
  FWaitingNotes.clear();
  FObserver = observer;
  FFirstRowsShown = false;
  FKind = kind;
  FPath = path;
  FOptions = options;
  FSorter.reset(); // its ranks belong to the entries of the last load
  FNotes.clear();
  FEntries.clear();
  FStore.reset(); // closes the previous store's files first
  TLoadResult result;
  const uint64_t start = TickCount();
  try {
    FStore = MakeStore(path, kind);
    if (FStore) {
      FStore->Load(path, *this, options);
      result.Loaded = true;
    }
  } catch (const std::exception& e) {
    result.ErrorText = e.what();
  }
  result.Milliseconds = TickCount() - start;
  SortEntries();
  return result;
}

void TMailbox::SortEntries() {
  FOrder.resize(FEntries.size());
  std::iota(FOrder.begin(), FOrder.end(), 0u);
  Sort(FSortColumn, FSortDescending);
  // In place, cycle by cycle: a second copy of the rows would double the memory of a big store.
  for (uint32_t start = 0; start < FOrder.size(); ++start) {
    if (FOrder[start] == start) continue;
    TMessageEntry held = std::move(FEntries[start]);
    uint32_t at = start;
    while (FOrder[at] != start) {
      const uint32_t from = FOrder[at];
      FEntries[at] = std::move(FEntries[from]);
      FOrder[at] = at;
      at = from;
    }
    FEntries[at] = std::move(held);
    FOrder[at] = at;
  }
  FSorter.reset();
}

void TMailbox::Sort(int column, bool descending) {
  FSortColumn = column;
  FSortDescending = descending;
  if (!FSorter) FSorter = std::make_unique<TEntrySorter>(FEntries, FStore.get());
  FSorter->Sort(FOrder, column, descending);
}

TStore& TMailbox::ReadingStore() {
  if (!FStore) throw EPelloraError("No store is loaded.");
  return *FStore;
}

const std::vector<std::string>& TMailbox::LoadEntryLines(const TMessageEntry& entry) {
  CollectLines(FLines, [&](const TLineVisitor& visit) { VisitEntryLines(entry, visit); });
  return FLines;
}

void TMailbox::VisitEntryLines(const TMessageEntry& entry, const TLineVisitor& visit) {
  const TReadTurn turn = ReadTurn();
  ReadingStore().VisitLines(entry, visit);
}

void TMailbox::ReadEntryText(const TMessageEntry& entry, std::string& text) {
  const TReadTurn turn = ReadTurn();
  ReadingStore().ReadLinesText(entry, text);
}

std::string TMailbox::GetEntryText(const TMessageEntry& entry) {
  const TReadTurn turn = ReadTurn();
  return ReadingStore().ViewText(entry);
}

void TMailbox::ReadStored(const TMessageEntry& entry, const TByteSink& sink) {
  const TReadTurn turn = ReadTurn();
  ReadingStore().ReadStored(entry, sink);
}

std::string TMailbox::StoredText(const TMessageEntry& entry) {
  std::string text;
  ReadStored(entry, [&](std::string_view bytes) { text += bytes; });
  return text;
}

bool TMailbox::ReadAside(uint64_t load, uint32_t entry, std::string& text) {
  const TReadTurn turn = ReadTurn();
  if (load != FLoadCount || entry >= FEntries.size()) return false;
  struct TAside {
    bool& reading;
    explicit TAside(bool& flag) : reading(flag) { reading = true; }
    ~TAside() { reading = false; }
  } aside(FReadingAside);
  text = ReadingStore().ViewText(FEntries[entry]);
  return true;
}

bool TMailbox::TakeWaitingNotes() {
  const TReadTurn turn = ReadTurn();
  if (FWaitingNotes.empty()) return false;
  for (TStoreNote& note : FWaitingNotes) FNotes.push_back(std::move(note));
  FWaitingNotes.clear();
  return true;
}

const TMessageEntry* TMailbox::FindEntry(int32_t index) const {
  for (const auto& entry : FEntries)
    if (entry.Index == index) return &entry;
  return nullptr;
}

} // namespace pellora
