#include "app/banner.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QResizeEvent>
#include <QTimerEvent>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace lanzhou {

Banner::Banner(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent, false);
  timer_.start(kFrameMilliseconds, this);
}

namespace {

// A deep-blue sky over water, from the top of the banner down.
QLinearGradient Sky() {
  QLinearGradient sky(0, 0, 0, Banner::kHeight);
  sky.setColorAt(0, QColor(14, 46, 92));
  sky.setColorAt(1, QColor(34, 96, 150));
  return sky;
}

}  // namespace

QImage Banner::Frame(int index) {
  index = ((index % kFrameCount) + kFrameCount) % kFrameCount;
  const double phase = 2 * std::numbers::pi * index / kFrameCount;
  QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);

  p.fillRect(image.rect(), Sky());

  // Three rows of waves drifting to the right, one step per frame.
  for (int row = 0; row < 3; ++row) {
    QPainterPath wave;
    const double base = 46 + row * 9;
    const double shift = phase + row * 0.9;
    wave.moveTo(0, kHeight);
    for (int x = 0; x <= kWidth; x += 5) {
      wave.lineTo(x, base + 3 * std::sin(x / 24.0 - shift));
    }
    wave.lineTo(kWidth, kHeight);
    wave.closeSubpath();
    p.fillPath(wave, QColor(120 + row * 30, 180 + row * 20, 230, 90 + row * 30));
  }

  // A boat crossing the banner once per cycle.
  const double boat_x = 40 + (kWidth - 80) * index / double(kFrameCount - 1);
  const double boat_y = 44 + 2 * std::sin(phase);
  QPainterPath hull;
  hull.moveTo(boat_x - 18, boat_y);
  hull.lineTo(boat_x + 18, boat_y);
  hull.lineTo(boat_x + 12, boat_y + 6);
  hull.lineTo(boat_x - 12, boat_y + 6);
  hull.closeSubpath();
  p.fillPath(hull, QColor(240, 200, 120));
  QPainterPath sail;
  sail.moveTo(boat_x, boat_y - 22);
  sail.lineTo(boat_x, boat_y - 2);
  sail.lineTo(boat_x + 14, boat_y - 2);
  sail.closeSubpath();
  p.fillPath(sail, QColor(250, 250, 245));

  // The program's name, with a glint sweeping across it.
  QFont font;
  font.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                    QStringLiteral("Microsoft YaHei")});
  font.setPixelSize(26);
  font.setBold(true);
  p.setFont(font);
  const QRect title_rect(0, 4, kWidth, 38);
  const QString title = QString::fromUtf8("岚舟资料处理专家");
  const double glint = -0.2 + 1.4 * index / double(kFrameCount - 1);
  QLinearGradient shine(0, 0, kWidth, 0);
  shine.setColorAt(0, QColor(255, 255, 255));
  shine.setColorAt(std::clamp(glint - 0.08, 0.0, 1.0), QColor(255, 255, 255));
  shine.setColorAt(std::clamp(glint, 0.0, 1.0), QColor(255, 230, 120));
  shine.setColorAt(std::clamp(glint + 0.08, 0.0, 1.0), QColor(255, 255, 255));
  shine.setColorAt(1, QColor(255, 255, 255));
  p.setPen(QColor(0, 0, 0, 110));
  p.drawText(title_rect.translated(2, 2), Qt::AlignCenter, title);
  p.setPen(QPen(QBrush(shine), 1));
  p.drawText(title_rect, Qt::AlignCenter, title);
  return image;
}

void Banner::Advance() {
  frame_ = (frame_ + 1) % kFrameCount;
  update();
}

void Banner::paintEvent(QPaintEvent*) {
  QPainter p(this);
  // Centred in the picture box, as the image was placed in the template; the sky goes on to
  // both sides of a wider banner.
  const int x = (width() - kWidth) / 2;
  const int y = (height() - kHeight) / 2;
  QLinearGradient sky = Sky();
  sky.setStart(0, y);
  sky.setFinalStop(0, y + kHeight);
  p.fillRect(rect(), sky);
  QImage& frame = frames_[static_cast<size_t>(frame_)];
  if (frame.isNull()) frame = Frame(frame_);
  p.drawImage(x, y, frame);
}

void Banner::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  for (const auto& [child, margin] : right_margins_) {
    if (child) child->resize(width() - margin - child->x(), child->height());
  }
}

void Banner::KeepRightMargin(QWidget* child) {
  right_margins_.emplace_back(child, width() - child->x() - child->width());
}

void Banner::timerEvent(QTimerEvent* event) {
  if (event->timerId() == timer_.timerId()) {
    Advance();
    return;
  }
  QWidget::timerEvent(event);
}

TransparentLabel::TransparentLabel(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_NoSystemBackground);
  setCursor(Qt::PointingHandCursor);
}

void TransparentLabel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && handler_) {
    const QPoint at = event->position().toPoint();
    handler_(at.x(), at.y(), event->modifiers());
  }
  QWidget::mousePressEvent(event);
}

}  // namespace lanzhou
