#include "shell/application.h"

#include "shell/message_boxes.h"

#include <exception>

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
