#include "stores/threads.h"

#include "stores/header_scanner.h"
#include "stores/mailbox.h"

#include <algorithm>
#include <numeric>
#include <string_view>
#include <unordered_map>

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

} // namespace

void TThreads::Build(const std::vector<TMessageEntry>& entries) {
  const uint32_t n = static_cast<uint32_t>(entries.size());
  std::vector<std::string_view> ownId(n);
  std::unordered_map<std::string_view, uint32_t> nodeOf;
  nodeOf.reserve(n * 2);
  for (uint32_t i = 0; i < n; ++i) {
    ownId[i] = MessageIdOf(entries[i].Header.MessageID);
    if (!ownId[i].empty()) nodeOf.try_emplace(ownId[i], i); // the first row holds the id
  }

  TGroups groups(n);
  FParent.assign(n, NoEntry);
  for (uint32_t i = 0; i < n; ++i) {
    const TEMLHeader& h = entries[i].Header;
    if (!ownId[i].empty()) groups.Unite(i, nodeOf.find(ownId[i])->second);
    // Joins the id's group; the row that holds it, when another row does.
    auto link = [&](std::string_view id) {
      auto [at, added] = nodeOf.try_emplace(id, 0);
      if (added) at->second = groups.Add();
      groups.Unite(i, at->second);
      return at->second < n && at->second != i && id != ownId[i] ? at->second : NoEntry;
    };
    uint32_t lastReferenced = NoEntry, repliedTo = NoEntry;
    ForEachMessageId(h.References, [&](std::string_view id) {
      if (uint32_t held = link(id); held != NoEntry) lastReferenced = held;
    });
    ForEachMessageId(h.InReplyTo, [&](std::string_view id) {
      if (uint32_t held = link(id); held != NoEntry && repliedTo == NoEntry) repliedTo = held;
    });
    FParent[i] = lastReferenced != NoEntry ? lastReferenced : repliedTo;
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

void TThreads::BuildFor(const TMailbox& box) {
  Build(box.Entries());
  Arrange(box.Order(), box.SortColumn() == lcReceived, box.SortDescending());
}

} // namespace pellora
