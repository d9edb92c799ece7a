// Growth of exports on inputs that once took time growing with the square of their size (label
// "scaling").
#include "export/message_export.h"
#include "stores/kinds/store_kinds.h"
#include "support/scaling.h"
#include "support/store_builders.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include <unistd.h>

namespace pellora {
namespace {

using test::ExpectLinearGrowth;

// N messages of one date and subject: every file name after the first clashes.
TEST(Scaling, ExportNameClashes) {
  test::TTempDir dir;
  ExpectLinearGrowth(
      "export as .eml, N messages of one name", 500, 1 << 18,
      [&](size_t n) {
        test::TMboxTestMessage message;
        message.Lines = {"Subject: same", "Date: Mon, 4 Jan 2010 10:00:00 +0000", "", "body"};
        auto box = std::make_unique<TMailbox>();
        LoadStoreChecked(*box, dir.Write("Inbox", test::BuildMailbox(
                                                      std::vector<test::TMboxTestMessage>(n, message))),
                         okMailboxFile);
        return box;
      },
      [&](const std::unique_ptr<TMailbox>& box) {
        // Each run in a folder of its own (runs are processes of their own).
        std::string out = dir.MakeDir("out-" + std::to_string(getpid()));
        TExportResult result = ExportMessages(*box, box->Order(), efEml, out);
        EXPECT_EQ(result.Messages, box->Entries().size());
      });
}

} // namespace
} // namespace pellora
