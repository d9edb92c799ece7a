#include "window_kit/frame.h"

#include <QCloseEvent>

#include <map>

namespace pellora {
namespace {

std::map<TOpenKind, TOpener>& Openers() {
  static std::map<TOpenKind, TOpener> openers;
  return openers;
}

} // namespace

void RegisterOpener(TOpenKind kind, TOpener opener) { Openers()[kind] = std::move(opener); }

const TOpener* OpenerOf(TOpenKind kind) {
  auto it = Openers().find(kind);
  return it == Openers().end() ? nullptr : &it->second;
}

void TMdiChild::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  if (event->isAccepted() && FFrame) FFrame->ChildClosed(*this);
}

} // namespace pellora
