#include "shell/error_report.h"

#include "shell/message_boxes.h"

#include <exception>

namespace pellora {

void RunGuarded(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    ReportUncaughtError(e.what());
  } catch (...) {
    ReportUncaughtError("Unknown error");
  }
}

} // namespace pellora
