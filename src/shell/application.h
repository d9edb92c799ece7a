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

// SIGTERM, SIGHUP and SIGINT (a session's end) quit the event loop, so that the program ends by
// its usual path: windows closed, attachments opened for viewing removed.
void QuitOnTerminationSignals();

} // namespace pellora
