// A held arrow key in the mailbox window: key events at the keyboard's repeat rate walk the list
// of a mailbox file (down to its end, then up, MOVES rows in all) while a heartbeat timer measures
// the event loop's stalls; the pane off (the list alone), below the list, and below the list
// stepped slowly enough that every row is read and shown. Prints "key value" lines.
#include "mailbox_window/mailbox_window.h"
#include "mailbox_window/reading_pane.h"
#include "message_window/html_view.h"
#include "message_window/message_window.h"
#include "shell/main_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <functional>
#include <vector>

using namespace pellora;

namespace {

struct TWalk {
  double longestStallMs = 0; // the longest time the loop did not come round, past the beat
  double p99StallMs = 0;
  double settleMs = 0; // from the last key to the pane showing the row reached
  int shown = 0;       // rows the pane showed on the way
};

// Runs the loop until done() or limit milliseconds.
void Wait(const std::function<bool()>& done, int limit) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < limit) QApplication::processEvents(QEventLoop::AllEvents, 5);
}

TWalk Walk(Tmdi_pl_Viewer& window, int moves, int intervalMs) {
  auto* tree = window.findChild<QTreeView*>("Tree");
  TReadingPane* pane = window.ReadingPane();
  const int rows = tree->model()->rowCount();
  tree->setFocus();
  tree->setCurrentIndex(tree->model()->index(0, 0));
  const bool paneOn = window.PanePosition() != ppOff;
  auto shownCurrent = [&] {
    return !paneOn || (pane->ShownEntry() >= 0 && pane->ShownEntry() == pane->WantedEntry());
  };
  Wait(shownCurrent, 10000);

  TWalk walk;
  const QMetaObject::Connection counting =
      QObject::connect(pane, &TReadingPane::EntryShown, &window, [&] { ++walk.shown; });
  std::vector<double> gaps;
  double worst = 0;
  int worstAt = -1;
  int done = 0, row = 0;
  QElapsedTimer clock;
  clock.start();
  qint64 lastBeat = clock.nsecsElapsed();
  QTimer beat;
  beat.setInterval(1);
  QObject::connect(&beat, &QTimer::timeout, [&] {
    const qint64 now = clock.nsecsElapsed();
    gaps.push_back((now - lastBeat) / 1e6);
    if (gaps.back() > worst) {
      worst = gaps.back();
      worstAt = done;
    }
    lastBeat = now;
  });
  QTimer keys;
  keys.setInterval(intervalMs);
  QObject::connect(&keys, &QTimer::timeout, [&] {
    if (done == moves) return;
    // Down to the end, then up.
    const bool down = done < rows - 1 || (done / (rows - 1)) % 2 == 0;
    QKeyEvent press(QEvent::KeyPress, down ? Qt::Key_Down : Qt::Key_Up, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(tree, &press);
    row = tree->currentIndex().row();
    ++done;
  });
  beat.start();
  keys.start();
  Wait([&] { return done == moves; }, moves * intervalMs * 20 + 10000);
  const qint64 lastKey = clock.nsecsElapsed();
  keys.stop();
  Wait(shownCurrent, 10000);
  walk.settleMs = paneOn ? (clock.nsecsElapsed() - lastKey) / 1e6 : 0;
  beat.stop();
  QObject::disconnect(counting);
  std::sort(gaps.begin(), gaps.end());
  if (!gaps.empty()) {
    walk.longestStallMs = std::max(0.0, gaps.back() - 1);
    walk.p99StallMs = std::max(0.0, gaps[gaps.size() * 99 / 100] - 1);
  }
  if (row != tree->currentIndex().row()) std::fprintf(stderr, "the walk lost its row\n");
  std::fprintf(stderr, "longest stall after move %d of %d\n", worstAt, moves);
  return walk;
}

} // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_reading_pane MAILBOX [MOVES] [KEY_INTERVAL_MS]\n");
    return 2;
  }
  const int moves = argc > 2 ? std::atoi(argv[2]) : 1000;
  const int interval = argc > 3 ? std::atoi(argv[3]) : 33;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  if (geteuid() == 0) setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
  QTemporaryDir settings; // the user's settings stay as they are
  setenv("PELLORA_CONFIG_DIR", settings.path().toLocal8Bit().constData(), 1);
  THtmlView::RegisterSchemes();
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  RegisterMessageWindow();
  RegisterMailboxWindow();
  Twnd_pl_Main frame;
  frame.resize(1400, 900);
  frame.show();
  frame.OpenPath(argv[1], okMailboxFile);
  auto* window = frame.Children().isEmpty() ? nullptr : qobject_cast<Tmdi_pl_Viewer*>(frame.Children().last());
  if (!window) return 1;
  std::printf("rows %d\nmoves %d\nkey_interval_ms %d\n", window->findChild<QTreeView*>("Tree")->model()->rowCount(),
              moves, interval);
  auto report = [](const char* label, const TWalk& walk) {
    std::printf("%s_longest_stall_ms %.1f\n%s_p99_stall_ms %.1f\n%s_settle_ms %.1f\n%s_rows_shown %d\n", label,
                walk.longestStallMs, label, walk.p99StallMs, label, walk.settleMs, label, walk.shown);
  };
  window->SetPanePosition(ppBelow);
  Walk(*window, 100, interval); // warm-up: the first paints, the web engine's start
  window->SetPanePosition(ppOff);
  report("pane_off", Walk(*window, moves, interval));
  window->SetPanePosition(ppBelow);
  report("pane_below", Walk(*window, moves, interval));
  // Slow steps: every row read, parsed and shown (its HTML rendered) on the way.
  report("pane_below_stepped", Walk(*window, std::min(moves, 150), 150));
  window->SetPanePosition(ppOff);
  return 0;
}
