#include "stores/threads.h"

#include "stores/mailbox.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <map>
#include <numeric>
#include <regex>
#include <set>
#include <sstream>

namespace pellora {
namespace {

// One crafted message: its name (and Message-ID "<name>" unless id says otherwise), its date in
// days, and the ids it refers to.
struct TMsg {
  std::string Name;
  double Date;
  std::string References = {};
  std::string InReplyTo = {};
  std::string Id = {};
};

std::vector<TMessageEntry> Entries(const std::vector<TMsg>& messages) {
  std::vector<TMessageEntry> entries;
  for (const TMsg& m : messages) {
    TMessageEntry& e = entries.emplace_back();
    e.Index = static_cast<int32_t>(entries.size() - 1);
    e.Header.MessageID = m.Id.empty() ? "<" + m.Name + ">" : (m.Id == "-" ? "" : m.Id);
    e.Header.Date = m.Date;
    e.Header.References = m.References;
    e.Header.InReplyTo = m.InReplyTo;
  }
  return entries;
}

// The arranged list as text: threads parted by "|", a reply marked by one ">" per level.
std::string Shown(const TThreads& threads, const std::vector<TMsg>& messages) {
  std::string out;
  uint32_t thread = UINT32_MAX;
  for (uint32_t e : threads.Order()) {
    if (!out.empty()) out += threads.ThreadOf(e) != thread ? " | " : " ";
    thread = threads.ThreadOf(e);
    out += std::string(threads.DepthOf(e), '>') + messages[e].Name;
  }
  return out;
}

std::vector<uint32_t> Identity(size_t n) {
  std::vector<uint32_t> order(n);
  std::iota(order.begin(), order.end(), 0u);
  return order;
}

TEST(Threads, CraftedConversations) {
  struct TCase {
    const char* What;
    std::vector<TMsg> Messages;
    std::string NewestFirst; // arranged by newest message, descending
  };
  const TCase cases[] = {
      {"a chain", {{"a", 1}, {"b", 2, "<a>"}, {"c", 3, "<a><b>"}}, "a >b >>c"},
      {"replies to a missing message join as first messages",
       {{"b", 1, "<gone>"}, {"c", 2, "<gone>"}, {"d", 3}},
       "d | b c"},
      {"the last References id present is the parent, over In-Reply-To",
       {{"a", 1}, {"b", 2, "<a>"}, {"c", 3, "<a><b><gone>"}, {"d", 4, "<a>", "<b>"}},
       "a >b >>c >d"},
      {"In-Reply-To alone", {{"a", 1}, {"b", 2, "", "<a>"}, {"c", 3, "", "<gone>"}},
       "c | a >b"},
      {"a loop in References: the oldest starts the thread",
       {{"b", 2, "<c>"}, {"c", 3, "<a>"}, {"a", 1, "<b>"}},
       "a >c >>b"},
      {"a message replying to itself", {{"a", 1, "<a>", "<a>"}, {"b", 2, "<a>"}}, "a >b"},
      {"duplicated Message-ID: the first row answers for it",
       {{"a1", 1, "", "", "<a>"}, {"a2", 2, "", "", "<a>"}, {"b", 3, "<a>"}},
       "a1 >b a2"},
      {"a duplicate replying to its own id is no reply",
       {{"a1", 1, "", "", "<a>"}, {"a2", 2, "<a>", "", "<a>"}},
       "a1 a2"},
      {"replies in date order, whatever the rows' order",
       {{"a", 1}, {"c", 3, "<a>"}, {"b", 2, "<a>"}},
       "a >b >c"},
      {"threads by their newest message",
       {{"a", 1}, {"c", 3}, {"b", 5, "<a>"}},
       "a >b | c"},
      {"rows without ids stand alone", {{"x", 1, "", "", "-"}, {"y", 2, "", "", "-"}}, "y | x"},
      {"an id that is no bracketed id links nothing",
       {{"a", 1, "", "", "bare@x"}, {"b", 2, "bare@x", "bare@x"}},
       "b | a"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    const auto entries = Entries(c.Messages);
    TThreads threads;
    threads.Build(entries);
    threads.Arrange(Identity(entries.size()), true, true);
    EXPECT_EQ(Shown(threads, c.Messages), c.NewestFirst);
    EXPECT_EQ(threads.Order().size(), entries.size());
  }
}

TEST(Threads, OrderOfThreads) {
  const std::vector<TMsg> messages = {{"a", 1}, {"c", 3}, {"b", 5, "<a>"}, {"d", 4, "<c>"}};
  const auto entries = Entries(messages);
  TThreads threads;
  threads.Build(entries);
  threads.Arrange(Identity(4), true, false);
  EXPECT_EQ(Shown(threads, messages), "c >d | a >b"); // oldest newest message first
  // Sorted by another column: threads where their first message stands in the list.
  threads.Arrange({3, 1, 2, 0}, false, false);
  EXPECT_EQ(Shown(threads, messages), "c >d | a >b");
  threads.Arrange({0, 2, 3, 1}, false, true);
  EXPECT_EQ(Shown(threads, messages), "a >b | c >d");
  EXPECT_EQ(threads.Parent(2), 0u);
  EXPECT_EQ(threads.Parent(0), NoEntry);
  EXPECT_EQ(threads.ThreadCount(), 2u);
}

TEST(Threads, DeepChainAndLongLoop) {
  // Each message answers the one before; the first names the last (a loop of them all).
  std::vector<TMsg> messages;
  const int n = 200000;
  for (int i = 0; i < n; ++i)
    messages.push_back({std::to_string(i), double(i),
                        "<" + std::to_string((i + n - 1) % n) + ">"});
  const auto entries = Entries(messages);
  TThreads threads;
  threads.Build(entries);
  threads.Arrange(Identity(n), true, true);
  ASSERT_EQ(threads.Order().size(), size_t(n));
  EXPECT_EQ(threads.Order().front(), 0u);
  EXPECT_EQ(threads.DepthOf(n - 1), uint32_t(n - 1));
  EXPECT_EQ(threads.ThreadCount(), 1u);
}

// The archive's threads against a union-find of its own: every "<...>" of each message's
// Message-ID, In-Reply-To and References lines, read from the message's raw header.
TEST(Threads, RealListArchive) {
  const std::string data = test::SharedDataDir();
  if (data.empty()) GTEST_SKIP() << "../shared/data is absent";
  TMailbox box;
  ASSERT_TRUE(box.Load(data + "/mbox/usrp-users.mbox", okMailboxFile).Loaded);
  const auto& entries = box.Entries();
  ASSERT_GT(entries.size(), 800u);

  std::map<std::string, int> idNode;
  std::vector<int> up;
  auto node = [&](const std::string& id) {
    auto [at, added] = idNode.try_emplace(id, int(up.size()));
    if (added) up.push_back(at->second);
    return at->second;
  };
  auto find = [&](int x) {
    while (up[x] != x) x = up[x];
    return x;
  };
  std::vector<int> messageNode(entries.size());
  std::vector<std::set<std::string>> linked(entries.size()); // ids the message refers to
  std::vector<std::string> ownId(entries.size());
  const std::regex idPattern("<[^<>]*>");
  for (size_t i = 0; i < entries.size(); ++i) {
    messageNode[i] = int(up.size());
    up.push_back(messageNode[i]);
    std::string header, field;
    box.VisitEntryLines(entries[i], [&](std::string_view line) {
      if (line.empty()) return false;
      header.append(line).append("\n");
      return true;
    });
    // Unfolded lines of the three fields.
    std::vector<std::pair<std::string, std::string>> fields;
    std::istringstream lines(header);
    for (std::string line; std::getline(lines, line);) {
      if ((line[0] == ' ' || line[0] == '\t') && !fields.empty())
        fields.back().second += line;
      else
        fields.push_back({line.substr(0, line.find(':') + 1), line});
    }
    bool sawOwn = false;
    for (auto& [name, text] : fields) {
      std::string lower = name;
      for (char& ch : lower)
        ch = char(std::tolower(static_cast<unsigned char>(ch)));
      const bool own = lower == "message-id:";
      if (!(own || lower == "in-reply-to:" || lower == "references:")) continue;
      if (own && sawOwn) continue;
      sawOwn = sawOwn || own;
      for (std::sregex_iterator m(text.begin(), text.end(), idPattern), end; m != end; ++m) {
        up[find(messageNode[i])] = find(node(m->str()));
        if (own && ownId[i].empty()) ownId[i] = m->str();
        if (!own) linked[i].insert(m->str());
      }
    }
  }

  TThreads threads;
  threads.Build(entries);
  threads.Arrange(box.Order(), true, true);
  ASSERT_EQ(threads.Order().size(), entries.size());
  std::map<int, uint32_t> threadOfGroup;
  std::map<uint32_t, int> groupOfThread;
  for (size_t i = 0; i < entries.size(); ++i) {
    const int group = find(messageNode[i]);
    const uint32_t thread = threads.ThreadOf(uint32_t(i));
    EXPECT_EQ(threadOfGroup.try_emplace(group, thread).first->second, thread) << i;
    EXPECT_EQ(groupOfThread.try_emplace(thread, group).first->second, group) << i;
    const uint32_t parent = threads.Parent(uint32_t(i));
    if (parent != NoEntry) {
      EXPECT_TRUE(linked[i].count(ownId[parent])) << i; // a parent is one the message names
      EXPECT_EQ(threads.DepthOf(uint32_t(i)), threads.DepthOf(parent) + 1);
    }
  }
  EXPECT_EQ(threads.ThreadCount(), groupOfThread.size());
  // The archive is a list's: most messages are answers in threads of several.
  size_t inThreads = 0;
  for (size_t i = 0; i < entries.size(); ++i)
    inThreads += threads.Parent(uint32_t(i)) != NoEntry;
  EXPECT_GT(inThreads, entries.size() / 2);
}

} // namespace
} // namespace pellora
