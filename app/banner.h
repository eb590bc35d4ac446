// The banner over the tab control: an animation of 590 x 70 pixels, 14 frames of 0.2 s
// repeating without end, drawn by the program itself in the middle of a sky as wide as the
// banner; and the transparent label over it that takes left presses, which widens with it.
#ifndef LANZHOU_APP_BANNER_H_
#define LANZHOU_APP_BANNER_H_

#include <QBasicTimer>
#include <QImage>
#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>
#include <utility>
#include <vector>

namespace lanzhou {

class Banner : public QWidget {
 public:
  static constexpr int kWidth = 590;
  static constexpr int kHeight = 70;
  static constexpr int kFrameCount = 14;
  static constexpr int kFrameMilliseconds = 200;

  explicit Banner(QWidget* parent = nullptr);

  // Frame `index` (0 .. kFrameCount - 1) of the animation.
  static QImage Frame(int index);
  int current_frame() const { return frame_; }
  // Shows the next frame, after the last the first.
  void Advance();
  // Keeps `child`'s right edge at its present distance from the banner's right edge.
  void KeepRightMargin(QWidget* child);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void timerEvent(QTimerEvent* event) override;

 private:
  QBasicTimer timer_;
  int frame_ = 0;
  std::vector<std::pair<QPointer<QWidget>, int>> right_margins_;
  std::array<QImage, kFrameCount> frames_;  // drawn on first use
};

// Draws nothing of its own; a left press calls the handler with the position and the
// modifier keys.
class TransparentLabel : public QWidget {
 public:
  using PressHandler = std::function<void(int x, int y, Qt::KeyboardModifiers modifiers)>;
  explicit TransparentLabel(QWidget* parent = nullptr);
  void SetLeftPressHandler(PressHandler handler) { handler_ = std::move(handler); }

 protected:
  void mousePressEvent(QMouseEvent* event) override;

 private:
  PressHandler handler_;
};

}  // namespace lanzhou

#endif  // LANZHOU_APP_BANNER_H_
