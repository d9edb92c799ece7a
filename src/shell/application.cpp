#include "shell/application.h"

#include "shell/message_boxes.h"

#include <QSocketNotifier>

#include <exception>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace pellora {

TPelloraApplication::TPelloraApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TPelloraApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    ReportUncaughtError(e.what());
  } catch (...) {
    ReportUncaughtError("Unknown error");
  }
  return false;
}

} // namespace pellora

namespace pellora {
namespace {
int signalPipe[2] = {-1, -1};

void OnTerminationSignal(int) {
  const char byte = 1;
  [[maybe_unused]] ssize_t n = write(signalPipe[1], &byte, 1);
}
} // namespace

void QuitOnTerminationSignals() {
  if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  // The handler only writes to the pipe; the loop does the rest.
  auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, qApp);
  QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] {
    char byte;
    while (read(signalPipe[0], &byte, 1) > 0) {
    }
    QCoreApplication::quit();
  });
  struct sigaction action{};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : {SIGTERM, SIGHUP, SIGINT})
    sigaction(signal, &action, nullptr);
}

} // namespace pellora
