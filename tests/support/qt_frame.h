#pragma once
// The frame that the window tests open their windows in, with the message boxes answered by the
// test instead of a person.
#include "platform/qt_platform.h"
#include "shell/main_window.h"

#include <QApplication>
#include <QStringList>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

namespace pellora::test {

class TTestFrame {
public:
  TTestFrame() : FFrame(std::make_unique<Twnd_pl_Main>()) {
    FFrame->show();
    SetMessageBoxHook([this](TBoxKind, const QString& text, const QString& caption) {
      Boxes << text;
      Captions << caption;
      return Answer;
    });
  }
  ~TTestFrame() { SetMessageBoxHook(nullptr); }
  TTestFrame(const TTestFrame&) = delete;
  TTestFrame& operator=(const TTestFrame&) = delete;

  Twnd_pl_Main* operator->() const { return FFrame.get(); }
  Twnd_pl_Main& Frame() const { return *FFrame; }

  // Opens a path as the frame does and returns the new child window; null when none was made.
  template <class T> T* Open(const std::string& path, TOpenKind kind) {
    const auto before = FFrame->Children().size();
    FFrame->OpenPath(path, kind);
    if (FFrame->Children().size() != before + 1) return nullptr;
    return qobject_cast<T*>(FFrame->Children().last());
  }
  // The child window opened last, when it is of class T.
  template <class T> T* Last() const {
    return FFrame->Children().isEmpty() ? nullptr : qobject_cast<T*>(FFrame->Children().last());
  }
  void ClearBoxes() {
    Boxes.clear();
    Captions.clear();
  }

  QStringList Boxes;    // the texts of the boxes shown, in order
  QStringList Captions; // their captions
  bool Answer = true;   // what the "user" answers to every box

private:
  std::unique_ptr<Twnd_pl_Main> FFrame;
};

// A component of a window by its object name; a missing one ends the test run at once.
template <class T> T* Child(const QObject* window, const char* name) {
  T* child = window->findChild<T*>(name);
  if (!child) {
    std::fprintf(stderr, "no component named %s\n", name);
    std::abort();
  }
  return child;
}

// Answers the next modal dialog of class T once it shows, from the event loop while its caller
// waits in exec(); answer must close it. Gives up after some seconds, so that a dialog that
// never comes fails the test instead of leaving the answer behind for a later one.
template <class T> void WhenModal(std::function<void(T*)> answer) {
  auto* timer = new QTimer;
  auto tries = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, [timer, tries, answer] {
    auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
    if (!dialog && ++*tries < 1000) return;
    timer->stop();
    timer->deleteLater();
    if (dialog) answer(dialog);
  });
  timer->start(10);
}

} // namespace pellora::test
