#include "discovery/store_discovery.h"
#include "mailbox_window/mailbox_window.h"
#include "platform/safe_files.h"
#include "message_window/html_view.h"
#include "message_window/message_window.h"
#include "pellora_version.h"
#include "platform/qt_locale.h"
#include "shell/about_dialog.h"
#include "shell/app_instances.h"
#include "i18n/format_text.h"
#include "shell/main_window.h"
#include "window_kit/window_images.h"

#include <QApplication>
#include <QFile>
#include <QLocale>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void OnTerminationSignal(int) {
  const char byte = 1;
  [[maybe_unused]] ssize_t n = write(signalPipe[1], &byte, 1);
}

// SIGTERM, SIGHUP and SIGINT (a session's end) quit the event loop, so that the program ends by
// its usual path: windows closed, attachments opened for viewing removed. The handler only
// writes to a pipe; the loop does the rest.
void QuitOnTerminationSignals() {
  if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
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

} // namespace

int main(int argc, char** argv) {
  using namespace pellora;
  // The HTML view's sandbox refuses to run as root; it stays on for everyone else.
  if (geteuid() == 0) setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
  THtmlView::RegisterSchemes();
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  QApplication::setApplicationName("Pellora");
  QApplication::setApplicationVersion(PELLORA_VERSION);
  SetBuildCommit(PELLORA_COMMIT);
  QApplication::setOrganizationName("Vantrel");
  // The installed desktop entry: its icon and name for the window on Wayland.
  QGuiApplication::setDesktopFileName("com.vantrel.Pellora");
  QApplication::setWindowIcon(ProgramIcon());
  // Formats and collation follow the user's locale.
  QLocale::setDefault(QLocale::system());
  InstallQtLocaleCompare();
  SetThousandSeparator(QStringToAnsi(QLocale().groupSeparator()));

  QStringList arguments = QApplication::arguments().mid(1);
  // "--profile DIR" names a Windows profile folder for the store browser, never a path to open.
  std::vector<std::string> args, profiles;
  for (const QString& argument : arguments)
    args.push_back(QFile::encodeName(argument).toStdString());
  TakeProfileOptions(args, profiles);
  SetCommandLineProfiles(profiles);
  arguments.clear();
  for (const auto& arg : args)
    arguments << QFile::decodeName(QByteArray::fromStdString(arg));
  TAppInstances instances;
  switch (instances.Start(arguments)) {
  case TAppInstances::stHandedOver:
    return 0;
  case TAppInstances::stRefused:
    fprintf(stderr, "%s\n", qPrintable(instances.ErrorText()));
    return 1;
  case TAppInstances::stInstance:
    break;
  }
  // Attachments opened for viewing go with the program.
  struct TTempCleanup {
    ~TTempCleanup() { RemovePrivateTempFolders(); }
  } tempCleanup;
  QuitOnTerminationSignals();

  RegisterMessageWindow();
  RegisterMailboxWindow();

  Twnd_pl_Main frame(arguments);
  frame.TakeHandOvers(instances);
  frame.show();
  return QApplication::exec();
}
