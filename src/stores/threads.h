#pragma once
// Conversations among a mailbox's rows: which messages belong together (linked by Message-ID,
// In-Reply-To and References) and which message each one answers.
#include "stores/message_entry.h"

#include <cstdint>
#include <vector>

namespace pellora {

class TMailbox;

inline constexpr uint32_t NoEntry = UINT32_MAX;

// The conversations of a mailbox's rows, by entry position.
class TThreads {
public:
  // Links the rows: O(n) in time and memory (hashing the ids), plus one sort of the rows by date.
  // A message referring to a message the store lacks joins the others that refer to it; its parent
  // is the last References id the store holds, else In-Reply-To's. Loops and replies to oneself
  // are cut; of rows sharing a Message-ID the first answers for the id.
  void Build(const std::vector<TMessageEntry>& entries);
  // Puts the threads in order: by their newest message when the list is sorted by date, else by
  // the place of their first message in listOrder (the list's sort); within a thread, replies
  // follow their parent depth first, in date order.
  void Arrange(const std::vector<uint32_t>& listOrder, bool byNewest, bool descending);
  // Arranges the threads as a mailbox's list is sorted; BuildFor builds them first.
  void ArrangeFor(const TMailbox& box);
  void BuildFor(const TMailbox& box);

  bool Empty() const { return FParent.empty(); }
  // The entry a row answers, NoEntry for a thread's first messages.
  uint32_t Parent(uint32_t entry) const { return FParent[entry]; }
  // After Arrange: the entries in thread order, each with its thread number (from 0, in that
  // order) and depth (0 for a thread's first messages).
  const std::vector<uint32_t>& Order() const { return FOrder; }
  uint32_t ThreadOf(uint32_t entry) const { return FThreadOf[entry]; }
  uint32_t DepthOf(uint32_t entry) const { return FDepth[entry]; }
  size_t ThreadCount() const { return FThreadFirst.size(); }

private:
  std::vector<uint32_t> FParent;
  std::vector<uint32_t> FFirstChild; // replies in date order
  std::vector<uint32_t> FNextSibling;
  std::vector<uint32_t> FThreadFirst; // per thread (unordered): its first message by date
  std::vector<TDateTime> FThreadNewest;
  std::vector<uint32_t> FOrder;
  std::vector<uint32_t> FThreadOf;
  std::vector<uint32_t> FDepth;
};

} // namespace pellora
