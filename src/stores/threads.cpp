#include "stores/threads.h"

#include "stores/header_scanner.h"
#include "stores/mailbox.h"

#include <algorithm>
#include <bit>
#include <functional>
#include <numeric>
#include <string_view>

namespace pellora {
namespace {

// Union-find over the rows and the ids only referred to.
class TGroups {
public:
  explicit TGroups(size_t n) : FUp(n) { std::iota(FUp.begin(), FUp.end(), 0u); }
  uint32_t Add() {
    FUp.push_back(static_cast<uint32_t>(FUp.size()));
    return FUp.back();
  }
  uint32_t Find(uint32_t node) {
    while (FUp[node] != node)
      node = FUp[node] = FUp[FUp[node]];
    return node;
  }
  // The smaller node stands for both: a row rather than a missing id, where there is one.
  void Unite(uint32_t a, uint32_t b) {
    a = Find(a);
    b = Find(b);
    if (a != b) FUp[std::max(a, b)] = std::min(a, b);
  }
  size_t Size() const { return FUp.size(); }

private:
  std::vector<uint32_t> FUp;
};

// Message ids by their 64-bit hash, open addressing: a lookup is one probe in a flat table
// rather than a walk through scattered nodes. Ids whose hashes collide share a node, so two
// threads could join; with 64-bit hashes that takes billions of ids. Parents are checked by text.
class TIdTable {
public:
  explicit TIdTable(size_t expected) { Resize(std::bit_ceil(std::max<size_t>(expected * 4, 16))); }
  // The node of the id with hash; an id not seen before is added with node fresh.
  uint32_t FindOrAdd(uint64_t hash, uint32_t fresh) {
    TSlot* slot = Probe(hash);
    if (slot->Node != NoEntry) return slot->Node;
    if (fresh == NoEntry) return NoEntry;
    *slot = {hash, fresh};
    if (++FCount * 2 > FSlots.size()) Resize(FSlots.size() * 2);
    return fresh;
  }

private:
  struct TSlot {
    uint64_t Hash = 0;
    uint32_t Node = NoEntry; // NoEntry: empty
  };
  TSlot* Probe(uint64_t hash) {
    const size_t mask = FSlots.size() - 1;
    size_t at = static_cast<size_t>(hash) & mask;
    while (FSlots[at].Node != NoEntry && FSlots[at].Hash != hash)
      at = (at + 1) & mask;
    return &FSlots[at];
  }
  void Resize(size_t size) {
    std::vector<TSlot> old(size);
    old.swap(FSlots);
    for (const TSlot& slot : old)
      if (slot.Node != NoEntry) *Probe(slot.Hash) = slot;
  }

  std::vector<TSlot> FSlots;
  size_t FCount = 0;
};

} // namespace

void TThreads::Build(const std::vector<TMessageEntry>& entries) {
  const uint32_t n = static_cast<uint32_t>(entries.size());
  const std::hash<std::string_view> hashOf;
  std::vector<std::string_view> ownId(n);
  TIdTable nodeOf(n);
  TGroups groups(n);
  for (uint32_t i = 0; i < n; ++i) {
    ownId[i] = MessageIdOf(entries[i].Header.MessageID);
    // The first row holds the id; the rows that repeat it join its thread.
    if (!ownId[i].empty()) groups.Unite(i, nodeOf.FindOrAdd(hashOf(ownId[i]), i));
  }

  FParent.assign(n, NoEntry);
  std::vector<std::pair<uint32_t, std::string_view>> held; // ids another row holds, in order
  for (uint32_t i = 0; i < n; ++i) {
    const TEMLHeader& h = entries[i].Header;
    const uint32_t ownNode =
        ownId[i].empty() ? NoEntry : nodeOf.FindOrAdd(hashOf(ownId[i]), NoEntry);
    // Joins the id's thread; an id only referred to gets a node of its own.
    auto link = [&](std::string_view id) {
      const uint32_t node = nodeOf.FindOrAdd(hashOf(id), static_cast<uint32_t>(groups.Size()));
      if (node == groups.Size()) groups.Add();
      groups.Unite(i, node);
      if (node < n && node != i && node != ownNode) held.emplace_back(node, id);
    };
    held.clear();
    ForEachMessageId(h.References, link);
    const size_t referenced = held.size();
    ForEachMessageId(h.InReplyTo, link);
    // The last References id present, else In-Reply-To's; the hashes matched, the texts decide.
    auto holds = [&](size_t k) { return ownId[held[k].first] == held[k].second; };
    for (size_t k = referenced; k-- > 0 && FParent[i] == NoEntry;)
      if (holds(k)) FParent[i] = held[k].first;
    for (size_t k = referenced; k < held.size() && FParent[i] == NoEntry; ++k)
      if (holds(k)) FParent[i] = held[k].first;
  }

  std::vector<uint32_t> byDate(n);
  std::iota(byDate.begin(), byDate.end(), 0u);
  std::stable_sort(byDate.begin(), byDate.end(), [&](uint32_t a, uint32_t b) {
    return entries[a].Header.Date < entries[b].Header.Date;
  });
  std::vector<uint32_t> dateRank(n);
  for (uint32_t r = 0; r < n; ++r)
    dateRank[byDate[r]] = r;

  // Loops (each reply naming the other as its parent): the loop's oldest message starts it.
  {
    enum : uint8_t { sNew, sOnPath, sDone };
    std::vector<uint8_t> state(n, sNew);
    std::vector<uint32_t> path;
    for (uint32_t start = 0; start < n; ++start) {
      path.clear();
      uint32_t v = start;
      while (v != NoEntry && state[v] == sNew) {
        state[v] = sOnPath;
        path.push_back(v);
        v = FParent[v];
      }
      if (v != NoEntry && state[v] == sOnPath) {
        uint32_t oldest = v;
        for (uint32_t w = FParent[v]; w != v; w = FParent[w])
          if (dateRank[w] < dateRank[oldest]) oldest = w;
        FParent[oldest] = NoEntry;
      }
      for (uint32_t w : path)
        state[w] = sDone;
    }
  }

  // Replies in date order under their parents, first messages in date order per thread.
  FFirstChild.assign(n, NoEntry);
  FNextSibling.assign(n, NoEntry);
  FThreadFirst.clear();
  FThreadNewest.clear();
  std::vector<uint32_t> lastChild(n, NoEntry), threadLast;
  std::vector<uint32_t> threadOfNode(groups.Size(), NoEntry);
  for (uint32_t e : byDate) {
    uint32_t& thread = threadOfNode[groups.Find(e)];
    if (thread == NoEntry) {
      thread = static_cast<uint32_t>(FThreadFirst.size());
      FThreadFirst.push_back(NoEntry);
      threadLast.push_back(NoEntry);
      FThreadNewest.push_back(0);
    }
    FThreadNewest[thread] = entries[e].Header.Date; // the latest so far, by date order
    const uint32_t p = FParent[e];
    uint32_t& first = p != NoEntry ? FFirstChild[p] : FThreadFirst[thread];
    uint32_t& last = p != NoEntry ? lastChild[p] : threadLast[thread];
    (first == NoEntry ? first : FNextSibling[last]) = e;
    last = e;
  }
  FOrder.clear();
}

void TThreads::Arrange(const std::vector<uint32_t>& listOrder, bool byNewest, bool descending) {
  const size_t n = FParent.size();
  std::vector<uint32_t> rank(n, UINT32_MAX);
  for (uint32_t r = 0; r < listOrder.size(); ++r)
    if (listOrder[r] < n) rank[listOrder[r]] = r;
  std::vector<uint32_t> threads(FThreadFirst.size());
  std::iota(threads.begin(), threads.end(), 0u);
  auto firstRank = [&](uint32_t t) { return rank[FThreadFirst[t]]; };
  if (byNewest)
    std::sort(threads.begin(), threads.end(), [&](uint32_t a, uint32_t b) {
      if (FThreadNewest[a] != FThreadNewest[b])
        return descending ? FThreadNewest[a] > FThreadNewest[b] : FThreadNewest[a] < FThreadNewest[b];
      return firstRank(a) < firstRank(b);
    });
  else
    std::sort(threads.begin(), threads.end(),
              [&](uint32_t a, uint32_t b) { return firstRank(a) < firstRank(b); });

  FOrder.clear();
  FOrder.reserve(n);
  FThreadOf.assign(n, 0);
  FDepth.assign(n, 0);
  for (uint32_t number = 0; number < threads.size(); ++number) {
    // Depth first without recursion: a thread may be as deep as it is long.
    uint32_t v = FThreadFirst[threads[number]];
    uint32_t depth = 0;
    while (v != NoEntry) {
      FOrder.push_back(v);
      FThreadOf[v] = number;
      FDepth[v] = depth;
      if (FFirstChild[v] != NoEntry) {
        v = FFirstChild[v];
        ++depth;
        continue;
      }
      while (v != NoEntry && FNextSibling[v] == NoEntry) {
        v = FParent[v];
        if (v != NoEntry) --depth;
      }
      if (v != NoEntry) v = FNextSibling[v];
    }
  }
}

void TThreads::ArrangeFor(const TMailbox& box) {
  Arrange(box.Order(), box.SortColumn() == lcReceived, box.SortDescending());
}

void TThreads::BuildFor(const TMailbox& box) {
  Build(box.Entries());
  ArrangeFor(box);
}

} // namespace pellora
