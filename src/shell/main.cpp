#include "discovery/store_discovery.h"
#include "mailbox_window/mailbox_window.h"
#include "message_window/html_view.h"
#include "message_window/message_window.h"
#include "platform/qt_locale.h"
#include "shell/app_instances.h"
#include "i18n/format_text.h"
#include "shell/main_window.h"
#include "shell/window_images.h"

#include <QApplication>
#include <QFile>
#include <QLocale>

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
  QApplication app(argc, argv);
  QApplication::setApplicationName("Pellora");
  QApplication::setApplicationVersion(PELLORA_VERSION);
  QApplication::setOrganizationName("Vantrel");
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
  if (TAppInstances::HandOver(arguments)) return 0;

  RegisterMessageWindow();
  RegisterMailboxWindow();

  TAppInstances instances;
  instances.Listen();
  Twnd_pl_Main frame(arguments);
  frame.TakeHandOvers(instances);
  frame.show();
  return QApplication::exec();
}
