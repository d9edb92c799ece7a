#include "discovery/open_wizard.h"
#include "platform/qt_platform.h"
#include "shell/about_dialog.h"
#include "shell/app_instances.h"
#include "shell/main_window.h"
#include "support/qt_frame.h"
#include "support/settings_folder.h"
#include "support/temp_dir.h"
#include "window_kit/message_boxes.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QMdiArea>
#include <QMimeData>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTimer>
#include <QLabel>
#include <QtTest>

#include <stdexcept>

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

using namespace pellora;

namespace {

class TTestChild : public TMdiChild {
public:
  const char* ClassName() const override { return "Tmdi_pl_Test"; }
};

// A child with commands of its own for the File menu, as a message window has its printing.
class TPrintingChild : public TMdiChild {
public:
  TPrintingChild() : Print(new QAction("Print...", this)), Preview(new QAction("Print Preview...", this)) {}
  const char* ClassName() const override { return "Tmdi_pl_Printing"; }
  QList<QAction*> FileActions() const override { return {Print, Preview}; }
  QAction *Print, *Preview;
};

// The File menu's items as shown: text, or "-" for a separator.
QStringList FileItems(Twnd_pl_Main& frame) {
  QStringList items;
  for (QAction* a : frame.menuBar()->actions().first()->menu()->actions())
    if (a->isVisible()) items << (a->isSeparator() ? "-" : a->text());
  return items;
}

struct TOpened {
  TOpenKind kind;
  std::string path;
};

// The viewer as its own process, meeting later starts in a runtime folder of the test's.
QProcessEnvironment ViewerEnvironment(const pellora::test::TTempDir& runtime) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime.Path()));
  env.insert("QT_LOGGING_RULES", "pellora.instances.debug=true");
  return env;
}

} // namespace

class FrameTest : public QObject {
  Q_OBJECT

  std::vector<TOpened> opened;
  QList<QPair<QString, QString>> boxes; // caption, text

  // Chooses a radio button, types a path and confirms the wizard that File > Open shows next.
  static void AnswerWizard(const char* radio, const char* field, const QString& path) {
    test::WhenModal<Twiz_pl_Open>([=](Twiz_pl_Open* wizard) {
      test::Child<QRadioButton>(wizard, radio)->click();
      test::Child<QComboBox>(wizard, field)->setEditText(path);
      test::Child<QPushButton>(wizard, "Button2")->click();
    });
  }

private slots:
  void init() {
    opened.clear();
    boxes.clear();
    SetMessageBoxHook([this](TBoxKind, const QString& text, const QString& caption) {
      boxes << qMakePair(caption, text);
      return true;
    });
    for (TOpenKind kind : {okOEDatabase, okMessageFolder, okMailboxFile, okMessageFile})
      RegisterOpener(kind, [this, kind](TFrame& frame, const std::string& path) {
        opened.push_back({kind, path});
        frame.CreateChild<TTestChild>(QString::fromStdString(path), 6, "hint " + QString::fromStdString(path));
      });
  }

  void LaysOutCaptionMenusAndActions() {
    Twnd_pl_Main frame;
    QCOMPARE(frame.windowTitle(), QString("Pellora"));
    QCOMPARE(frame.size(), QSize(800, 600));
    QCOMPARE(frame.MdiArea()->background().color(), QColor(79, 82, 87));
    QStringList menus;
    for (QAction* a : frame.menuBar()->actions()) menus << a->text();
    QCOMPARE(menus, QStringList({"&File", "&Windows"}));
    QCOMPARE(FileItems(frame), QStringList({"&Open...", "Close", "-", "Exit"}));

    QCOMPARE(frame.acOpen->shortcut(), QKeySequence("Ctrl+O"));
    QCOMPARE(frame.acOpen->toolTip(), QString("Open"));
    QCOMPARE(frame.acOpen->statusTip(), QString("Opens an existing file"));
    QCOMPARE(frame.acAbout->shortcut(), QKeySequence("F1"));
    QCOMPARE(frame.acWinTileHorizontal->text(), QString("Tile &Horizontally"));
    QCOMPARE(frame.acWinTileVertical->text(), QString("&Tile Vertically"));
    for (QAction* a : {frame.acCloseChild, frame.acWinCascade, frame.acWinTileHorizontal,
                       frame.acWinTileVertical})
      QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
  }

  // The active window's printing in the File menu, above Close, for as long as it is active.
  void FileMenuOffersTheActiveWindowsCommands() {
    Twnd_pl_Main frame;
    frame.show();
    auto* printing = frame.CreateChild<TPrintingChild>("printing", 5, "");
    QCOMPARE(FileItems(frame),
             QStringList({"&Open...", "Print...", "Print Preview...", "-", "Close", "-", "Exit"}));
    auto* plain = frame.CreateChild<TTestChild>("plain", 6, "");
    QCOMPARE(FileItems(frame), QStringList({"&Open...", "Close", "-", "Exit"}));
    frame.ActivateChild(printing);
    QCOMPARE(FileItems(frame).mid(1, 2), QStringList({"Print...", "Print Preview..."}));
    frame.CloseChild(printing);
    frame.ActivateChild(plain);
    QCOMPARE(FileItems(frame), QStringList({"&Open...", "Close", "-", "Exit"}));
  }

  void OpenPathDispatchesAndCreatesChildren() {
    Twnd_pl_Main frame;
    frame.show();
    frame.OpenPath("/m/a.eml", okMessageFile);
    frame.OpenPath("/m/a.eml", okMessageFile);
    frame.OpenPath("/m/x", okUnknown);
    QCOMPARE(opened.size(), size_t(2));
    auto children = frame.Children();
    QCOMPARE(children.size(), 2);
    QCOMPARE(children[0]->windowTitle(), children[1]->windowTitle()); // same path, two windows
    QVERIFY(children[0]->objectName().startsWith("mdi_pl_Test"));
    QVERIFY(children[0]->objectName().size() > QString("mdi_pl_Test").size());
    QCOMPARE(children[0]->Hint(), QString("hint /m/a.eml"));
    QCOMPARE(children[0]->ImageIndex(), 6);
    QVERIFY(frame.acCloseChild->isEnabled());
    QVERIFY(frame.acWinCascade->isEnabled());
    frame.acCloseChild->trigger();
    frame.acCloseChild->trigger();
    QTRY_VERIFY(frame.Children().isEmpty());
    QTRY_VERIFY(!frame.acWinTileVertical->isEnabled());
  }

  void CommandLineOpensExistingFilesByKind() {
    pellora::test::TTempDir dir;
    QStringList args = {
        QString::fromStdString(dir.Write("one.eml", "Subject: x\r\n\r\n")),
        QString::fromStdString(dir.Write("Inbox.dbx", "x")),
        QString::fromStdString(dir.Write("Inbox", "From - x\r\n")),
        QString::fromStdString(dir.Write("Old.idx", "JMF9")), // stands for its database
        QString::fromStdString(dir.MakeDir("folder")),
        QString::fromStdString(dir.Write("notes.txt", "x")),
        QString::fromStdString(dir / "missing.eml"),
        QString::fromStdString(dir.MakeDir("World") + "/"),
        QString::fromStdString(dir.MakeDir("Maildir")),
        QString::fromStdString(dir.MakeDir("nothing")),
    };
    const std::string database = dir.Write("Old.mbx", "JMF6");
    dir.Write("World/a.eml", "Subject: x\r\n\r\n");
    dir.MakeDir("Maildir/cur");
    dir.MakeDir("Maildir/new");
    Twnd_pl_Main frame(args);
    frame.show();
    QTRY_COMPARE(opened.size(), size_t(6));
    QCOMPARE(opened[0].kind, okMessageFile);
    QCOMPARE(opened[1].kind, okOEDatabase);
    QCOMPARE(opened[2].kind, okMailboxFile);
    QCOMPARE(opened[3].kind, okOEDatabase);
    QCOMPARE(opened[3].path, database);
    // Folders open as File > Open opens a folder of messages, when they hold messages.
    QCOMPARE(opened[4].kind, okMessageFolder);
    QCOMPARE(opened[4].path, dir / "World");
    QCOMPARE(opened[5].kind, okMessageFolder);
    QCOMPARE(opened[5].path, dir / "Maildir");
    // Other arguments are skipped without a word; the folders without messages are named at once.
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].second, QString::fromStdString("No messages were found in:\r\n" + (dir / "folder") +
                                                     "\r\n" + (dir / "nothing")));

    frame.AppInstancesCmdLineReceived({args[0]});
    QCOMPARE(opened.size(), size_t(7));
  }

  // The empty frame says how to open a store; a window over it takes its place.
  void EmptyFrameSaysWhatToDo() {
    Twnd_pl_Main frame({"-nuc"});
    frame.show();
    auto* hint = frame.findChild<QLabel*>("EmptyHint");
    QVERIFY(hint);
    QTRY_VERIFY(hint->isVisible());
    QVERIFY2(hint->text().contains("Open a mail store (Ctrl+O)"), qPrintable(hint->text()));
    QVERIFY(frame.MdiArea()->viewport()->rect().contains(hint->geometry()));
    frame.OpenPath("/m/a.eml", okMessageFile);
    QVERIFY(!hint->isVisible());
    frame.acCloseChild->trigger();
    QTRY_VERIFY(hint->isVisible());
  }

  void DroppedFilesAndFoldersOpenByKind() {
    pellora::test::TTempDir dir;
    Twnd_pl_Main frame;
    frame.show();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir.Write("a.eml", "x"))),
                  QUrl::fromLocalFile(QString::fromStdString(dir.MakeDir("Folder"))),
                  QUrl::fromLocalFile(QString::fromStdString(dir.Write("notes.txt", "x"))),
                  QUrl("https://example.org/x.eml")});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&frame, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&frame, &drop);
    QCOMPARE(opened.size(), size_t(2));
    QCOMPARE(opened[0].kind, okMessageFile);
    QCOMPARE(opened[1].kind, okMessageFolder);
  }

  // Each way in ends in an opener that fails: the report shows the failure and the event loop
  // goes on. The application object is a plain one, so nothing relies on its dispatch.
  void FailuresInHandlersAreReportedAndTheLoopGoesOn() {
    pellora::test::TTempDir dir;
    const QString first = QString::fromStdString(dir.Write("first.eml", "Subject: x\r\n\r\n"));
    const QString second = QString::fromStdString(dir.Write("second.eml", "Subject: y\r\n\r\n"));
    RegisterOpener(okMessageFile, [this](TFrame&, const std::string& path) {
      opened.push_back({okMessageFile, path});
      throw std::runtime_error("Disk full");
    });
    const QList<QPair<QString, QString>> report{{"Pellora", "Disk full."}};
    auto loopGoesOn = [] {
      bool after = false;
      QTimer::singleShot(0, [&after] { after = true; });
      QTRY_VERIFY(after);
    };

    // The command line: the failure stops the arguments after it.
    Twnd_pl_Main frame({first, second});
    frame.show();
    QTRY_COMPARE(boxes, report);
    loopGoesOn();
    QCOMPARE(opened.size(), size_t(1));

    boxes.clear();
    AnswerWizard("rb4", "feEML", first);
    frame.menuBar()->actions().first()->menu()->actions().first()->trigger(); // File > Open...
    QCOMPARE(boxes, report);
    loopGoesOn();

    boxes.clear();
    TAppInstances instances;
    frame.TakeHandOvers(instances);
    emit instances.CmdLineReceived({first});
    QCOMPARE(boxes, report);
    loopGoesOn();

    boxes.clear();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(first)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&frame, &enter);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&frame, &drop);
    QCOMPARE(boxes, report);
    loopGoesOn();
  }

  // File > Open runs the wizard and opens what it confirms, under the kind chosen there: the
  // wizard checks nothing, the opener reports a path that does not exist.
  void OpenRunsTheWizardAndOpensItsChoice() {
    Twnd_pl_Main frame;
    frame.show();
    AnswerWizard("rb3", "feTB", "/mail/Local Folders/Inbox.txt");
    frame.acOpen->trigger();
    QCOMPARE(opened.size(), size_t(1));
    QCOMPARE(opened[0].kind, okMailboxFile);
    QCOMPARE(opened[0].path, std::string("/mail/Local Folders/Inbox.txt"));

    test::WhenModal<Twiz_pl_Open>([](Twiz_pl_Open* wizard) {
      test::Child<QComboBox>(wizard, "feOE")->setEditText("/mail/Inbox.dbx");
      test::Child<QPushButton>(wizard, "Button1")->click(); // Cancel
    });
    frame.acOpen->trigger();
    QCOMPARE(opened.size(), size_t(1));
  }

  void AboutShowsTheVersionAndTheCommit() {
    QCoreApplication::setApplicationVersion("1.2.3");
    SetBuildCommit("0123456789ab");
    Twnd_pl_Main frame;
    QString name;
    test::WhenModal<QDialog>([&](QDialog* about) {
      name = test::Child<QLabel>(about, "lName")->text();
      about->accept();
    });
    frame.acAbout->trigger();
    QCOMPARE(name, QString("<b>Pellora</b> 1.2.3 (commit 0123456789ab)"));
  }

  void CaptionsOfTheBoxes() {
    ErrorBox("bad");
    InfoBox("fine", "Own");
    QVERIFY(ConfirmBox("sure?"));
    QCOMPARE(boxes[0], qMakePair(QString("Error"), QString("bad")));
    QCOMPARE(boxes[1], qMakePair(QString("Own"), QString("fine")));
    QCOMPARE(boxes[2], qMakePair(QString("Confirmation"), QString("sure?")));
  }

  void LaterStartHandsOverAndExits() {
    pellora::test::TTempDir dir, runtime;
    QString message = QString::fromStdString(dir.Write("handed.eml", "Subject: x\r\n\r\n"));
    QProcess first;
    first.setProcessEnvironment(ViewerEnvironment(runtime));
    first.setProcessChannelMode(QProcess::MergedChannels);
    first.start(PELLORA_VIEWER, {});
    QVERIFY(first.waitForStarted());
    QByteArray log;
    QTRY_VERIFY_WITH_TIMEOUT((log += first.readAll()).contains("listening"), 20000);

    QProcess second;
    second.setProcessEnvironment(ViewerEnvironment(runtime));
    second.start(PELLORA_VIEWER, {message});
    QVERIFY(second.waitForFinished(20000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QTRY_VERIFY_WITH_TIMEOUT((log += first.readAll()).contains("handed.eml"), 10000);
    QVERIFY(first.state() == QProcess::Running); // the first instance goes on
    // A session's end ends it by its usual path (which removes its temporary attachments).
    first.terminate();
    QVERIFY(first.waitForFinished(10000));
    QCOMPARE(first.exitStatus(), QProcess::NormalExit);
    QCOMPARE(first.exitCode(), 0);
  }

  // A first instance that does not answer for a while (a long load blocks its window; here it
  // is paused) is waited for: the later start never becomes a second instance.
  void BusyInstanceIsWaitedFor() {
    pellora::test::TTempDir dir, runtime;
    QString message = QString::fromStdString(dir.Write("late.eml", "Subject: x\r\n\r\n"));
    QProcess first;
    first.setProcessEnvironment(ViewerEnvironment(runtime));
    first.setProcessChannelMode(QProcess::MergedChannels);
    first.start(PELLORA_VIEWER, {});
    QVERIFY(first.waitForStarted());
    QByteArray log;
    QTRY_VERIFY_WITH_TIMEOUT((log += first.readAll()).contains("listening"), 20000);
    ::kill(static_cast<pid_t>(first.processId()), SIGSTOP);

    QProcess second;
    second.setProcessEnvironment(ViewerEnvironment(runtime));
    second.setProcessChannelMode(QProcess::MergedChannels);
    second.start(PELLORA_VIEWER, {message});
    QVERIFY(second.waitForStarted());
    QTest::qWait(6000); // longer than any hand-over wait there ever was
    QByteArray secondLog = second.readAll();
    bool stillWaiting = second.state() == QProcess::Running;
    ::kill(static_cast<pid_t>(first.processId()), SIGCONT);
    QVERIFY2(!secondLog.contains("listening"), secondLog.constData());
    QVERIFY(stillWaiting);

    QVERIFY(second.waitForFinished(20000));
    QCOMPARE(second.exitCode(), 0);
    QTRY_VERIFY_WITH_TIMEOUT((log += first.readAll()).contains("late.eml"), 10000);
    first.terminate();
    first.waitForFinished(5000);
  }

  // The running instance's socket name held by a listener of another user: the start hands
  // nothing over, says why and ends; it never runs beside the lock's holder.
  void ForeignSocketReceivesNothing() {
    if (geteuid() != 0) QSKIP("needs root to listen as another user");
    pellora::test::TTempDir dir, runtime;
    QString message = QString::fromStdString(dir.Write("secret.eml", "Subject: x\r\n\r\n"));
    // The lock is held (by this test), the socket is someone else's.
    int lock = open((runtime / "pellora.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    QVERIFY(lock >= 0 && flock(lock, LOCK_EX | LOCK_NB) == 0);
    int received[2];
    QVERIFY(pipe(received) == 0);
    std::string socketPath = runtime / "pellora.socket";
    pid_t listener = fork();
    if (listener == 0) {
      // Bound as root, listening as nobody: the credentials a peer sees are those of listen().
      close(received[0]);
      int fd = socket(AF_UNIX, SOCK_STREAM, 0);
      sockaddr_un address{};
      address.sun_family = AF_UNIX;
      std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
      if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
          setgroups(0, nullptr) != 0 || setresgid(65534, 65534, 65534) != 0 ||
          setresuid(65534, 65534, 65534) != 0 || listen(fd, 8) != 0)
        _exit(2);
      for (;;) {
        int peer = accept(fd, nullptr, nullptr);
        char buffer[4096];
        ssize_t n;
        while (peer >= 0 && (n = read(peer, buffer, sizeof buffer)) > 0)
          if (write(received[1], buffer, static_cast<size_t>(n)) < 0) _exit(3);
        if (peer >= 0) close(peer);
      }
    }
    close(received[1]);
    QTRY_VERIFY(QFileInfo::exists(QString::fromStdString(socketPath)));

    QProcess start;
    start.setProcessEnvironment(ViewerEnvironment(runtime));
    start.setProcessChannelMode(QProcess::MergedChannels);
    start.start(PELLORA_VIEWER, {message});
    bool ended = start.waitForFinished(30000);
    if (!ended) start.kill();
    ::kill(listener, SIGKILL);
    waitpid(listener, nullptr, 0);
    QByteArray bytes;
    char buffer[4096];
    ssize_t n;
    while ((n = read(received[0], buffer, sizeof buffer)) > 0)
      bytes.append(buffer, n);
    close(received[0]);
    close(lock);
    QVERIFY2(ended, "the start ran as a second instance");
    QCOMPARE(bytes.size(), 0);
    QCOMPARE(start.exitCode(), 1);
    QVERIFY2(start.readAll().contains("belongs to another user"), "says why");
  }
};

int main(int argc, char** argv) {
  pellora::test::TSettingsFolder settings;
  QApplication app(argc, argv);
  QApplication::setApplicationName("Pellora");
  FrameTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "frame_test.moc"
