#pragma once
#include <QAbstractScrollArea>
#include <QIcon>
#include <QPointer>

#include <functional>
#include <vector>

namespace pellora {

// A grid of equal buttons in rows from the left: one selected button, the button under the
// mouse drawn hot, hints, scrolling by rows. Buttons are drawn by the desktop's style, so the
// bar fits light and dark themes alike.
class TButtonGroupEx : public QAbstractScrollArea {
  Q_OBJECT
public:
  struct TItem {
    QString caption; // up to three lines separated by tabs
    QString hint;
    int imageIndex = -1;
    QPointer<QObject> data;
  };

  explicit TButtonGroupEx(QWidget* parent = nullptr);

  // The images the buttons' image indexes refer to (16-pixel icons), and how many there are.
  void SetImages(std::function<QIcon(int)> images, int count);

  int ButtonWidth() const { return FButtonWidth; }
  int ButtonHeight() const { return FButtonHeight; }
  void SetButtonSize(int width, int height);
  int TextIndent() const { return FTextIndent; }
  void SetTextIndent(int indent);
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool wrap);

  int Count() const { return static_cast<int>(FItems.size()); }
  const TItem& Item(int index) const { return FItems[static_cast<size_t>(index)]; }
  int AddItem(TItem item);
  void RemoveItem(int index);
  int ItemIndex() const { return FItemIndex; }
  void SetItemIndex(int index);
  int HotIndex() const { return FHotIndex; }

  // Whole buttons that fit into a row of the client width (at least one), and the rows needed.
  int ButtonsPerRow() const;
  int Rows() const;
  int ClientWidth() const;
  QRect ButtonRect(int index) const; // in the viewport, scrolled
  int IndexOfButtonAt(const QPoint& viewportPos) const;
  void ScrollIntoView(int index);

signals:
  void ButtonClicked(int index);

protected:
  // Recomputes the bar's height and scrolling when buttons come or go or the bar resizes.
  virtual void UpdateLayout();
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

  int FDownIndex = -1; // the button held down by the left mouse button

private:
  void DrawButton(QPainter& painter, int index);

  std::vector<TItem> FItems;
  std::function<QIcon(int)> FImages;
  int FImageCount = 0;
  int FButtonWidth = 100;
  int FButtonHeight = 22;
  int FTextIndent = 5;
  bool FWordWrap = false;
  int FItemIndex = -1;
  int FHotIndex = -1;
};

} // namespace pellora
