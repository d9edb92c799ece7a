// The mailbox window as a user meets it, on the offscreen platform: a mailbox file opened through
// the frame, timed from the open call to the first rows painted and to the last row shown, then
// the Body and Source filters from Enter in the value box to the list painted again. The run
// script sets the command line's list and filter beside these figures. With --load, the list
// load alone (the core, no window) in one thread and in two. With --reopen, the load the window
// makes without the row cache and from it, and the cache's size beside the rows' memory.
#include "mailbox_window/mailbox_window.h"
#include "message_window/message_window.h"
#include "shell/main_window.h"
#include "stores/kinds/mailbox_file_store.h"
#include "stores/row_cache.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEvent>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unordered_set>
#include <unistd.h>

using namespace pellora;

namespace {

// Notes the times of the list's paints: the first with rows, and the last.
class TPaintWatch : public QObject {
public:
  QElapsedTimer Clock;
  qint64 FirstRows = -1, LastPaint = -1;
  int RowsAtLastPaint = 0;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      auto* view = qobject_cast<QTreeView*>(watched->parent());
      if (view && view->objectName() == "Tree" && view->viewport() == watched && view->model()) {
        const int rows = view->model()->rowCount();
        const qint64 now = Clock.nsecsElapsed();
        if (rows > 0 && FirstRows < 0) FirstRows = now;
        LastPaint = now;
        RowsAtLastPaint = rows;
      }
    }
    return false;
  }
};

double Ms(qint64 ns) { return static_cast<double>(ns) / 1e6; }

// Best of runs of the load alone, split as SetMailboxLoadSplit says.
double LoadSeconds(const std::string& path, int runs, int64_t split, size_t& rows) {
  SetMailboxLoadSplit(split);
  double best = 1e300;
  for (int run = 0; run < runs; ++run) {
    QElapsedTimer clock;
    clock.start();
    TMailbox box;
    if (!box.Load(path, okMailboxFile).Loaded) std::exit(1);
    best = std::min(best, static_cast<double>(clock.nsecsElapsed()) / 1e9);
    rows = box.Entries().size();
  }
  SetMailboxLoadSplit(0);
  return best;
}

// Best of runs of the load with the cache folder the environment names; the rows' source of
// the last.
double ReopenSeconds(const std::string& path, int runs, TMailbox& box) {
  double best = 1e300;
  for (int run = 0; run < runs; ++run) {
    QElapsedTimer clock;
    clock.start();
    if (!box.Load(path, okMailboxFile).Loaded) std::exit(1);
    best = std::min(best, static_cast<double>(clock.nsecsElapsed()) / 1e9);
  }
  return best;
}

// The rows' memory: the entries, and each text's block once (as the allocator hands it out: its
// count and size, the text and its zero, a word of the allocator's own, in 16-byte steps).
uint64_t RowsMemory(const std::vector<TMessageEntry>& rows) {
  uint64_t bytes = rows.size() * sizeof(TMessageEntry);
  std::unordered_set<const char*> seen;
  auto text = [&](const TSharedText& t) {
    if (!t.empty() && seen.insert(t.data()).second)
      bytes += std::max<uint64_t>(32, (8 + t.size() + 1 + 8 + 15) / 16 * 16);
  };
  for (const TMessageEntry& e : rows) {
    const TEMLHeader& h = e.Header;
    for (const TSharedText* t : {&e.Path, &h.DateText, &h.From, &h.Sender, &h.ReplyTo, &h.ReturnPath,
                                 &h.To, &h.Cc, &h.Subject, &h.ContentTransferEncoding, &h.MessageID,
                                 &h.InReplyTo, &h.References, &h.ContentType, &h.ContentDisposition,
                                 &h.DocumentID})
      text(*t);
  }
  return bytes;
}

// Lets the window run until its list has painted all its rows after `since`.
void WaitForRows(TPaintWatch& watch, Tmdi_pl_Viewer& window, qint64 since, int rows) {
  for (;;) {
    QApplication::processEvents(QEventLoop::AllEvents, 10);
    if (!window.Loading() && watch.LastPaint >= since && watch.RowsAtLastPaint == rows) return;
    usleep(1000);
  }
}

} // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr,
                 "usage: %s MAILBOX [RUNS [TEXT]]\n       %s --load MAILBOX [RUNS]\n"
                 "       %s --reopen MAILBOX CACHE_FOLDER [RUNS]\n",
                 argv[0], argv[0], argv[0]);
    return 2;
  }
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  if (std::string(argv[1]) == "--load" && argc > 2) {
    const std::string path = argv[2];
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    size_t rows = 0;
    const double one = LoadSeconds(path, runs, -1, rows);
    const double two = LoadSeconds(path, runs, 0, rows);
    std::printf("load: %s, %zu rows; best of %d runs: one thread %.3f s, two threads %.3f s\n",
                path.c_str(), rows, runs, one, two);
    std::printf("figures load1_s %.3f load2_s %.3f\n", one, two);
    return 0;
  }
  if (std::string(argv[1]) == "--reopen" && argc > 3) {
    const std::string path = argv[2], cache = argv[3];
    const int runs = argc > 4 ? std::max(1, std::atoi(argv[4])) : 3;
    TMailbox box;
    setenv("PELLORA_CACHE_DIR", "", 1);
    const double cold = ReopenSeconds(path, runs, box);
    const uint64_t memory = RowsMemory(box.Entries()); // as a load from the file shares texts
    setenv("PELLORA_CACHE_DIR", cache.c_str(), 1);
    unlink(RowCacheFile(path).c_str());
    const double writing = ReopenSeconds(path, 1, box);
    const double warm = ReopenSeconds(path, runs, box);
    const auto* store = dynamic_cast<const TMailboxFileStore*>(box.Store());
    if (!store || store->RowSource() != TMailboxFileStore::rfCache) return 1;
    TFileStamp stamp;
    GetFileStamp(RowCacheFile(path), stamp);
    std::printf("reopen: %s, %zu rows; best of %d runs: without the cache %.3f s, from the cache "
                "%.3f s; the load that writes it %.3f s; cache %.1f MB, rows' memory %.1f MB\n",
                path.c_str(), box.Entries().size(), runs, cold, warm, writing, stamp.size / 1e6,
                memory / 1e6);
    std::printf("figures cold_s %.3f warm_s %.3f write_s %.3f cache_b %llu memory_b %llu\n", cold,
                warm, writing, static_cast<unsigned long long>(stamp.size),
                static_cast<unsigned long long>(memory));
    return 0;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // The user's settings are neither read nor written.
  char config[] = "/tmp/pellora-bench-window-XXXXXX";
  if (!mkdtemp(config)) return 1;
  setenv("PELLORA_CONFIG_DIR", config, 1);
  const std::string path = argv[1];
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  const std::string missing = argc > 3 ? argv[3] : "no such text q7z";

  QApplication app(argc, argv);
  RegisterMessageWindow();
  RegisterMailboxWindow();
  TPaintWatch watch;
  app.installEventFilter(&watch);
  watch.Clock.start();
  double firstBest = 1e300, openBest = 1e300, bodyBest = 1e300, sourceBest = 1e300;
  size_t rows = 0, bodyShown = 0, sourceShown = 0;
  for (int run = 0; run < runs; ++run) {
    Twnd_pl_Main frame;
    frame.resize(1280, 860);
    frame.show();
    QApplication::processEvents();
    watch.FirstRows = -1;
    const qint64 start = watch.Clock.nsecsElapsed();
    frame.OpenPath(path, okMailboxFile);
    auto* window = frame.Children().isEmpty() ? nullptr
                                              : qobject_cast<Tmdi_pl_Viewer*>(frame.Children().last());
    if (!window) {
      std::fprintf(stderr, "%s: no window\n", path.c_str());
      return 1;
    }
    while (window->Loading()) QApplication::processEvents(QEventLoop::AllEvents, 10);
    rows = window->Mailbox().Entries().size();
    WaitForRows(watch, *window, start, static_cast<int>(rows));
    firstBest = std::min(firstBest, Ms(watch.FirstRows - start));
    openBest = std::min(openBest, Ms(watch.LastPaint - start));

    // Enter in the value box, with the field chosen.
    auto* fields = window->findChild<QComboBox*>("cbFilter");
    auto* value = window->findChild<QComboBox*>("cbValue");
    value->setEditText(QString::fromStdString(missing));
    auto filter = [&](int field, size_t& shown) {
      if (window->FilterOn()) window->acFilterExecute(); // all rows back (not timed)
      fields->setCurrentIndex(field);
      const qint64 at = watch.Clock.nsecsElapsed();
      window->ApplyValue();
      QTreeView* tree = window->findChild<QTreeView*>("Tree");
      shown = static_cast<size_t>(tree->model()->rowCount());
      tree->viewport()->update();
      do QApplication::processEvents(QEventLoop::AllEvents, 10);
      while (watch.LastPaint < at);
      return Ms(watch.LastPaint - at);
    };
    bodyBest = std::min(bodyBest, filter(5, bodyShown));
    sourceBest = std::min(sourceBest, filter(6, sourceShown));
    frame.CloseChild(window);
    QApplication::processEvents();
  }
  std::printf("window: %s, %zu rows; best of %d runs\n", path.c_str(), rows, runs);
  std::printf("  open to first rows painted: %.0f ms (goal at most 300 ms)\n", firstBest);
  std::printf("  open to last row shown: %.0f ms\n", openBest);
  std::printf("  Body filter (field 5), text found nowhere: %.0f ms, %zu rows shown\n", bodyBest,
              bodyShown);
  std::printf("  Source filter (field 6), text found nowhere: %.0f ms, %zu rows shown\n", sourceBest,
              sourceShown);
  std::printf("figures first_s %.3f open_s %.3f body_s %.3f source_s %.3f\n", firstBest / 1000,
              openBest / 1000, bodyBest / 1000, sourceBest / 1000);
  std::filesystem::remove_all(config);
  return 0;
}
