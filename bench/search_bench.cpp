// The search box's query against the field filters doing the same work, over one store: queries
// of column terms only (answered from the rows) and queries with a body or source term (which
// read the messages), each timed beside the field filter passes that give the same rows.
#include "bench_measure.h"
#include "search/mailbox_filter.h"
#include "search/query.h"
#include "stores/kinds/store_kinds.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace pellora;

namespace {

using namespace pellora::bench;

struct TFieldPass {
  TFilterField Field;
  std::string Value;
};

struct TCase {
  const char* Label;
  std::string Query;
  // The field filter passes whose rows, all of them matching, are the query's rows.
  std::vector<TFieldPass> Passes;
};

} // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s STORE [RUNS [KIND]]\n", argv[0]);
    return 2;
  }
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  const std::string path = argv[1];
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  const auto kind = static_cast<TOpenKind>(argc > 3 ? std::atoi(argv[3]) : okMailboxFile);
  TMailbox box;
  LoadStoreChecked(box, path, kind);
  std::printf("search: %s (kind %d), %zu messages; best of %d runs\n", path.c_str(),
              static_cast<int>(kind), box.Entries().size(), runs);

  const std::string missing = "no such text q7z";
  const TCase cases[] = {
      {"header, one term", "subject:x310", {{ffSubject, "x310"}}},
      {"header, words", "ettus", {{ffFromSubjectTo, "ettus"}}},
      {"header, three terms",
       "from:ettus subject:usrp subject:x310",
       {{ffFrom, "ettus"}, {ffSubject, "usrp"}, {ffSubject, "x310"}}},
      {"body, alone", "body:\"" + missing + "\"", {{ffBody, missing}}},
      {"source, alone", "source:\"" + missing + "\"", {{ffSource, missing}}},
      {"body after a header term",
       "subject:x310 body:dpdk",
       {{ffSubject, "x310"}, {ffBody, "dpdk"}}},
  };
  TMailboxFilter filter(box);
  std::vector<uint8_t> hidden, passHidden;
  double worstHeader = 0, worstBody = 0;
  for (const TCase& c : cases) {
    const TQueryParse parse = ParseQuery(c.Query);
    if (!parse.Ok) {
      std::fprintf(stderr, "%s: %s\n", c.Query.c_str(), parse.Error.c_str());
      return 1;
    }
    size_t byQuery = 0, byFields = 0;
    // The field filter's way: one pass per field, a row shown when every pass shows it.
    const double fields = BestSeconds(runs, [&] {
      std::vector<uint8_t> all(box.Entries().size(), 0);
      for (const TFieldPass& pass : c.Passes) {
        filter.ApplyFilter(box.Order(), pass.Field, pass.Value, passHidden);
        for (size_t i = 0; i < all.size(); ++i)
          all[i] |= passHidden[i];
      }
      byFields = static_cast<size_t>(std::count(all.begin(), all.end(), 0));
    });
    const double query =
        BestSeconds(runs, [&] { byQuery = filter.ApplyQuery(box.Order(), parse.Root, hidden); });
    const double ratio = query / fields;
    std::printf("  %-26s %-40s query %8.2f ms, field filters %8.2f ms: ratio %.2f (%zu rows%s)\n",
                c.Label, c.Query.c_str(), query * 1000, fields * 1000, ratio, byQuery,
                byQuery == byFields ? "" : ", NOT THE SAME ROWS");
    (QueryNeedsMessages(parse.Root) ? worstBody : worstHeader) =
        std::max(QueryNeedsMessages(parse.Root) ? worstBody : worstHeader, ratio);
  }
  std::printf("summary: query / field filters, worst ratio: column terms only %.2f, with message "
              "terms %.2f (goal at most 1)\n",
              worstHeader, worstBody);
  return 0;
}
