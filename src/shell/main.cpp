#include "mailbox_window/mailbox_window.h"
#include "message_window/attachment_files.h"
#include "message_window/html_view.h"
#include "message_window/message_window.h"
#include "platform/qt_locale.h"
#include "shell/app_instances.h"
#include "shell/application.h"
#include "shell/localized_text.h"
#include "shell/main_window.h"
#include "shell/window_images.h"

#include <QLocale>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#ifndef PELLORA_VERSION
#define PELLORA_VERSION "0.0.0"
#endif

int main(int argc, char** argv) {
  using namespace pellora;
  // The HTML view's sandbox refuses to run as root; it stays on for everyone else.
  if (geteuid() == 0) setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
  THtmlView::RegisterSchemes();
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  TPelloraApplication app(argc, argv);
  QApplication::setApplicationName("Pellora");
  QApplication::setApplicationVersion(PELLORA_VERSION);
  QApplication::setOrganizationName("Vantrel");
  QApplication::setWindowIcon(ProgramIcon());
  // Formats and collation follow the user's locale.
  QLocale::setDefault(QLocale::system());
  InstallQtLocaleCompare();
  SetThousandSeparator(QStringToAnsi(QLocale().groupSeparator()));

  QStringList arguments = QApplication::arguments().mid(1);
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
  QObject::connect(&instances, &TAppInstances::CmdLineReceived, &frame,
                   [&frame](const QStringList& lines) {
                     if (frame.isMinimized()) frame.showNormal();
                     frame.raise();
                     frame.activateWindow();
                     frame.AppInstancesCmdLineReceived(lines);
                   });
  frame.show();
  return QApplication::exec();
}
