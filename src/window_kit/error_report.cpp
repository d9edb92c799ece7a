#include "window_kit/error_report.h"

#include "window_kit/message_boxes.h"

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
