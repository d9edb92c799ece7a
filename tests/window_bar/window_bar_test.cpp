#include "platform/pellora_error.h"
#include <QApplication>
#include "shell/main_window.h"
#include "support/settings_folder.h"
#include "window_bar/mdi_button_group.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QScrollBar>
#include <QtTest>

using namespace pellora;

namespace {

class TTestChild : public TMdiChild {
public:
  const char* ClassName() const override { return "Tmdi_pl_Test"; }
};

QMdiSubWindow* SubOf(QWidget* window) {
  return qobject_cast<QMdiSubWindow*>(window->parentWidget());
}

} // namespace

class WindowBarTest : public QObject {
  Q_OBJECT

  std::unique_ptr<Twnd_pl_Main> frame;
  TMDIButtonGroup* bar = nullptr;

  TMdiChild* Open(const QString& caption) {
    return frame->CreateChild<TTestChild>(caption, 6, "/mail/" + caption);
  }
  // Makes the bar's client area the given width.
  void SetClientWidth(int width) {
    for (int i = 0; i < 3 && bar->ClientWidth() != width; ++i) {
      frame->resize(frame->width() + width - bar->ClientWidth(), frame->height());
      QCoreApplication::processEvents();
    }
    QCOMPARE(bar->ClientWidth(), width);
  }
  void Click(int index, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mouseClick(bar->viewport(), button, {}, bar->ButtonRect(index).center());
  }

private slots:
  void init() {
    frame = std::make_unique<Twnd_pl_Main>(QStringList{"-nuc"});
    frame->resize(800, 600);
    frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
    bar = frame->mdibg;
  }
  void cleanup() { frame.reset(); }

  void ButtonsFollowTheWindowsInOpeningOrder() {
    QCOMPARE(bar->height(), 6); // no windows
    TMdiChild* a = Open("a.eml");
    TMdiChild* b = Open("b.eml");
    TMdiChild* c = Open("c.eml");
    QCOMPARE(bar->Count(), 3);
    QCOMPARE(bar->Item(0).caption, QString("a.eml"));
    QCOMPARE(bar->Item(1).hint, QString("/mail/b.eml"));
    QCOMPARE(bar->Item(2).imageIndex, 6);
    QCOMPARE(bar->WindowOfButton(0), a);
    QCOMPARE(bar->ButtonOfWindow(c), 2);
    QCOMPARE(bar->ItemIndex(), 2);
    QCOMPARE(bar->WindowOfButton(3), nullptr);
    QCOMPARE(bar->WindowOfButton(-1), nullptr);

    // A later caption change is not followed; adding a window twice gives one button.
    a->setWindowTitle("renamed");
    bar->AddWindow(a, 0, "again");
    QCOMPARE(bar->Count(), 3);
    QCOMPARE(bar->Item(0).caption, QString("a.eml"));

    frame->MdiArea()->setActiveSubWindow(SubOf(a));
    QCOMPARE(bar->ItemIndex(), 0);

    SubOf(b)->close();
    QTRY_COMPARE(bar->Count(), 2);
    QCOMPARE(bar->WindowOfButton(0), a);
    QCOMPARE(bar->WindowOfButton(1), c);
    QTRY_VERIFY(frame->MdiArea()->activeSubWindow() != nullptr);
    QCOMPARE(bar->ItemIndex(), bar->ButtonOfWindow(frame->MdiArea()->activeSubWindow()->widget()));
  }

  void RowsSetTheHeight() {
    SetClientWidth(350);
    QList<TMdiChild*> windows;
    for (int i = 0; i < 4; ++i)
      windows << Open(QString("m%1.eml").arg(i));
    QCOMPARE(bar->ButtonsPerRow(), 3);
    QCOMPARE(bar->Rows(), 2);
    QCOMPARE(bar->height(), 6 + 2 * 22);
    SubOf(windows[3])->close();
    QTRY_COMPARE(bar->height(), 28);
    windows << Open("m4.eml") << Open("m5.eml") << Open("m6.eml");
    QCOMPARE(bar->Count(), 6);
    QCOMPARE(bar->height(), 50);

    // Without auto size: one row, scrolled.
    bar->SetAutoSize(false);
    QVERIFY(!bar->wacAutoSize->isChecked());
    QCOMPARE(bar->height(), 28);
    QCOMPARE(bar->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    QVERIFY(bar->verticalScrollBar()->maximum() > 0);
    bar->ScrollIntoView(0);
    int before = bar->verticalScrollBar()->value();
    QWheelEvent wheel(QPointF(10, 10), bar->viewport()->mapToGlobal(QPointF(10, 10)), {}, {0, -120},
                      Qt::NoButton, {}, Qt::NoScrollPhase, false);
    QApplication::sendEvent(bar->viewport(), &wheel);
    QCOMPARE(bar->verticalScrollBar()->value(), before); // the wheel does not scroll the bar
    bar->wacAutoSize->trigger();
    QVERIFY(bar->AutoSize());
    QCOMPARE(bar->height(), 50);
  }

  void ContextMenuActsOnThePressedButton() {
    TMdiChild* a = Open("a.eml");
    TMdiChild* b = Open("b.eml");
    QCOMPARE(bar->PressedIndex(), -1);
    bar->WinBarMenuPopup();
    QCOMPARE(bar->wacTitle->text(), QString("<none>"));
    for (QAction* action :
         {bar->wacTitle, bar->wacRestore, bar->wacMinimize, bar->wacMaximize, bar->wacClose})
      QVERIFY2(!action->isEnabled(), qPrintable(action->objectName()));
    QVERIFY(bar->wacMinAll->isEnabled());
    QCOMPARE(bar->WinBarMenu->defaultAction(), bar->wacClose);

    QTest::mousePress(bar->viewport(), Qt::RightButton, {}, bar->ButtonRect(0).center());
    QTest::mouseRelease(bar->viewport(), Qt::RightButton, {}, bar->ButtonRect(0).center());
    QCOMPARE(bar->PressedIndex(), 0);
    bar->WinBarMenuPopup();
    QCOMPARE(bar->wacTitle->text(), QString("a.eml"));
    QVERIFY(bar->wacClose->isEnabled());
    bar->wacMinimize->trigger();
    QVERIFY(SubOf(a)->isMinimized());
    bar->wacRestore->trigger();
    QVERIFY(!SubOf(a)->isMinimized() && !SubOf(a)->isMaximized());
    bar->wacMaximize->trigger();
    QVERIFY(SubOf(a)->isMaximized());
    bar->wacTitle->trigger();
    QCOMPARE(frame->MdiArea()->activeSubWindow(), SubOf(a));

    // Empty space: no button pressed, the title item reads "<none>" again.
    QTest::mousePress(bar->viewport(), Qt::RightButton, {}, QPoint(bar->ClientWidth() - 2, 2));
    QCOMPARE(bar->PressedIndex(), -1);
    bar->WinBarMenuPopup();
    QCOMPARE(bar->wacTitle->text(), QString("<none>"));
    bar->wacClose->trigger(); // disabled: nothing happens
    QCOMPARE(frame->Children().size(), 2);

    Click(1, Qt::RightButton);
    bar->wacClose->trigger();
    QTRY_COMPARE(frame->Children().size(), 1);
    QCOMPARE(frame->Children().first(), a);
    Q_UNUSED(b);
  }

  void ClickingRestoresAndRaises() {
    TMdiChild* a = Open("a.eml");
    Open("b.eml");
    QTest::mousePress(bar->viewport(), Qt::RightButton, {}, bar->ButtonRect(0).center());
    bar->wacMinimize->trigger();
    QVERIFY(SubOf(a)->isMinimized());
    frame->MdiArea()->activateNextSubWindow();
    QVERIFY(frame->MdiArea()->activeSubWindow() != SubOf(a));
    Click(0);
    QVERIFY(!SubOf(a)->isMinimized());
    QCOMPARE(frame->MdiArea()->activeSubWindow(), SubOf(a));
    QCOMPARE(bar->ItemIndex(), 0);
  }

  void MinimizeAllAndCloseAll() {
    QList<TMdiChild*> windows;
    for (int i = 0; i < 5; ++i)
      windows << Open(QString("w%1.eml").arg(i));
    QCOMPARE(bar->Count(), 5);
    bar->MinimizeAll();
    for (TMdiChild* w : windows)
      QVERIFY(SubOf(w)->isMinimized());
    QList<QString> closed;
    for (TMdiChild* w : windows)
      connect(w, &QObject::destroyed, this, [&closed, name = w->windowTitle()] { closed << name; });
    bar->CloseAll();
    QTRY_COMPARE(bar->Count(), 0);
    QCOMPARE(closed, (QList<QString>{"w4.eml", "w3.eml", "w2.eml", "w1.eml", "w0.eml"}));
    QCOMPARE(bar->height(), 6);
    QCOMPARE(bar->ItemIndex(), -1);
  }

  // A minimized window leaves the area, its button standing for it, and its button brings it
  // back as it was: maximized as they all showed, or, restored, at its place inside the area.
  void MinimizedWindowsComeBackAsTheyWere() {
    TMdiChild* a = Open("a.eml");
    TMdiChild* b = Open("b.eml");
    SubOf(b)->showNormal();
    SubOf(b)->setGeometry(500, 400, 300, 200);
    SubOf(b)->showMaximized();
    bar->MinimizeAll();
    QTRY_VERIFY(SubOf(a)->isHidden() && SubOf(b)->isHidden()); // no title bars in the area
    Click(0);
    QVERIFY(SubOf(a)->isVisible() && SubOf(a)->isMaximized());
    QCOMPARE(frame->MdiArea()->activeSubWindow(), SubOf(a));
    // The area has shrunk meanwhile: b, restored, comes back inside it.
    frame->resize(700, 500);
    QTRY_VERIFY(frame->MdiArea()->viewport()->width() < 790);
    QTest::mousePress(bar->viewport(), Qt::RightButton, {}, bar->ButtonRect(1).center());
    bar->wacRestore->trigger();
    QVERIFY(SubOf(b)->isVisible() && !SubOf(b)->isMinimized() && !SubOf(b)->isMaximized());
    QVERIFY(frame->MdiArea()->viewport()->rect().contains(SubOf(b)->geometry()));
  }

  void PlacedOnceOnAFrameWithChildWindows() {
    struct Case {
      bool frame, area;
      const char* error;
    } cases[] = {
        {false, true, "MDIButtonGroup can be put only on Form."},
        {true, false, "MDIButtonGroup can be put only on MDIForm."},
        {true, true, "Only one MDIButtonGroup can be put on MDIForm."},
    };
    for (const auto& c : cases) {
      try {
        TMDIButtonGroup second(c.frame ? frame.get() : nullptr,
                               c.area ? frame->MdiArea() : nullptr);
        QFAIL(c.error);
      } catch (const EPelloraError& e) {
        QCOMPARE(QString(e.what()), QString(c.error));
      }
    }
  }
};

int main(int argc, char** argv) {
  pellora::test::TSettingsFolder settings;
  QApplication app(argc, argv);
  QApplication::setApplicationName("Pellora");
  WindowBarTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "window_bar_test.moc"
