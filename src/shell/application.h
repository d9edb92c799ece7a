#pragma once
#include <QApplication>

namespace pellora {

// The application object: a failure that escapes an event handler ends that handler only;
// it is reported in an error box and the event loop goes on.
class TPelloraApplication : public QApplication {
public:
  TPelloraApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace pellora
