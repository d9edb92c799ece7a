#include "window_kit/window_images.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

// The icon lives in a static library: its resources need registering by hand.
static void InitWindowKitResources() { Q_INIT_RESOURCE(window_kit); }

namespace pellora {
namespace {

const QColor ink(60, 64, 72);
const QColor paper(250, 250, 247);
const QColor accent(52, 101, 164);

// Icons come from the desktop's theme where it has them; these drawings stand in otherwise,
// so the program looks complete on a machine without an icon theme.
QPixmap Canvas(QPainter& p, QPixmap& pm) {
  pm.fill(Qt::transparent);
  p.begin(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(pm.width() / 16.0, pm.height() / 16.0);
  return pm;
}

void DrawWindow(QPainter& p, QRectF r) {
  p.setPen(QPen(ink, 1));
  p.setBrush(paper);
  p.drawRect(r);
  p.fillRect(QRectF(r.left(), r.top(), r.width(), 3), accent);
}

void DrawEnvelope(QPainter& p, QRectF r, const QColor& fill = paper) {
  p.setPen(QPen(ink, 1));
  p.setBrush(fill);
  p.drawRect(r);
  QPainterPath flap;
  flap.moveTo(r.topLeft());
  flap.lineTo(r.center().x(), r.top() + r.height() * 0.6);
  flap.lineTo(r.topRight());
  p.setBrush(Qt::NoBrush);
  p.drawPath(flap);
}

QPixmap Draw(int index, int size) {
  QPixmap pm(size, size);
  QPainter p;
  Canvas(p, pm);
  switch (index) {
  case 0:
    DrawWindow(p, QRectF(1.5, 2.5, 13, 11));
    break;
  case 1:
    DrawWindow(p, QRectF(5.5, 1.5, 9, 8));
    DrawWindow(p, QRectF(1.5, 6.5, 9, 8));
    break;
  case 2:
    p.fillRect(QRectF(3, 11, 10, 2.5), ink);
    break;
  case 3:
    DrawWindow(p, QRectF(1.5, 1.5, 13, 13));
    break;
  case 4:
    p.setPen(QPen(QColor(180, 40, 40), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4, 4), QPointF(12, 12));
    p.drawLine(QPointF(12, 4), QPointF(4, 12));
    break;
  case 5:
    DrawEnvelope(p, QRectF(4.5, 5.5, 11, 8));
    p.setPen(QPen(accent, 1.4));
    for (double y : {4.0, 7.0, 10.0, 13.0}) p.drawLine(QPointF(0.5, y), QPointF(3, y));
    break;
  case 6:
    DrawEnvelope(p, QRectF(1.5, 3.5, 13, 9));
    break;
  case 7:
    p.setPen(QPen(ink, 1));
    p.setBrush(QColor(222, 184, 92));
    p.drawRect(QRectF(2.5, 4, 11, 9));
    p.drawEllipse(QRectF(2.5, 11, 11, 3.5));
    p.drawEllipse(QRectF(2.5, 2, 11, 3.5));
    break;
  case 8: {
    p.setPen(QPen(ink, 1));
    p.setBrush(QColor(232, 196, 96));
    QPainterPath folder;
    folder.moveTo(1.5, 13.5);
    folder.lineTo(1.5, 3.5);
    folder.lineTo(6, 3.5);
    folder.lineTo(7.5, 5);
    folder.lineTo(14.5, 5);
    folder.lineTo(14.5, 13.5);
    folder.closeSubpath();
    p.drawPath(folder);
    DrawEnvelope(p, QRectF(5.5, 7.5, 7, 5));
    break;
  }
  case 9:
    p.setPen(QPen(ink, 1));
    p.setBrush(QColor(200, 214, 232));
    p.drawRect(QRectF(1.5, 6.5, 13, 7));
    DrawEnvelope(p, QRectF(4.5, 2.5, 7, 5));
    p.fillRect(QRectF(5, 9, 6, 1.5), ink);
    break;
  }
  p.end();
  return pm;
}

// The message list's images, drawn so that they look the same on every desktop.
QIcon DrawListImage(int index) {
  QPixmap pm(16, 16);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  switch (index) {
  case 0: { // paper clip
    QPainterPath clip;
    clip.moveTo(10, 4);
    clip.lineTo(10, 11);
    clip.arcTo(QRectF(6, 9, 4, 4), 0, -180);
    clip.lineTo(6, 3.5);
    clip.arcTo(QRectF(6, 1.5, 6, 4), 180, -180);
    clip.lineTo(12, 12);
    clip.arcTo(QRectF(4, 8, 8, 7), 0, -180);
    clip.lineTo(4, 5);
    p.setPen(QPen(ink, 1.2));
    p.drawPath(clip);
    break;
  }
  case 1: // high priority
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(210, 30, 30));
    p.drawRoundedRect(QRectF(6.5, 1.5, 3, 9), 1.2, 1.2);
    p.drawEllipse(QRectF(6.5, 12, 3, 3));
    break;
  case 2: { // low priority
    QPainterPath arrow;
    arrow.moveTo(6.5, 2);
    arrow.lineTo(9.5, 2);
    arrow.lineTo(9.5, 9);
    arrow.lineTo(13, 9);
    arrow.lineTo(8, 14.5);
    arrow.lineTo(3, 9);
    arrow.lineTo(6.5, 9);
    arrow.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 90, 200));
    p.drawPath(arrow);
    break;
  }
  case 3: { // flag
    p.setPen(QPen(ink, 1.2));
    p.drawLine(QPointF(3.5, 1.5), QPointF(3.5, 15));
    QPainterPath flag;
    flag.moveTo(4, 2);
    flag.lineTo(13.5, 2);
    flag.lineTo(11, 5);
    flag.lineTo(13.5, 8);
    flag.lineTo(4, 8);
    flag.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(215, 35, 35));
    p.drawPath(flag);
    break;
  }
  case 4: { // opened envelope
    p.setPen(QPen(ink, 1));
    p.setBrush(QColor(250, 250, 247));
    QPainterPath open;
    open.moveTo(1.5, 7);
    open.lineTo(8, 2);
    open.lineTo(14.5, 7);
    open.lineTo(14.5, 14.5);
    open.lineTo(1.5, 14.5);
    open.closeSubpath();
    p.drawPath(open);
    p.drawLine(QPointF(1.5, 7), QPointF(8, 11));
    p.drawLine(QPointF(14.5, 7), QPointF(8, 11));
    break;
  }
  case 5: // closed envelope
    DrawEnvelope(p, QRectF(1.5, 3.5, 13, 10), QColor(255, 236, 160));
    break;
  }
  p.end();
  return QIcon(pm);
}

QIcon FromThemeOr(const char* name, int fallback) {
  if (name && QIcon::hasThemeIcon(name)) return QIcon::fromTheme(name);
  QIcon icon;
  for (int size : {16, 24, 32, 48}) icon.addPixmap(Draw(fallback, size));
  return icon;
}

} // namespace

QIcon WindowImage(int index) {
  static const char* const themeNames[WindowImageCount] = {
      "window",      "window-restore", "window-minimize", "window-maximize",
      "window-close", "mail-read",     "mail-unread",     "x-office-database",
      "folder-mail", "mail-folder-inbox"};
  if (index < 0 || index >= WindowImageCount) return {};
  static QIcon cache[WindowImageCount];
  if (cache[index].isNull()) cache[index] = FromThemeOr(themeNames[index], index);
  return cache[index];
}

QIcon ActionImage(TActionImage image) {
  switch (image) {
  case TActionImage::Open: return FromThemeOr("document-open", 8);
  case TActionImage::Exit: return FromThemeOr("application-exit", 4);
  case TActionImage::About: return QIcon::fromTheme("help-about");
  case TActionImage::Cascade: return FromThemeOr("window-duplicate", 1);
  case TActionImage::TileHorizontal: return QIcon::fromTheme("view-split-top-bottom");
  case TActionImage::TileVertical: return QIcon::fromTheme("view-split-left-right");
  }
  return {};
}

QIcon ListImage(int index) {
  static QIcon images[ListImageCount];
  if (index < 0 || index >= ListImageCount) return {};
  if (images[index].isNull()) images[index] = DrawListImage(index);
  return images[index];
}

QIcon ProgramIcon() {
  static QIcon icon = [] {
    InitWindowKitResources();
    return QIcon(":/pellora/pellora.svg");
  }();
  return icon;
}

} // namespace pellora
