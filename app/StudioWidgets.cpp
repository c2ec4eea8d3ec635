#include "app/StudioWidgets.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>

namespace {

QColor ToQColor(uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

}  // namespace

ColourPanel::ColourPanel(QWidget* parent) : QFrame(parent) {
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setCursor(Qt::PointingHandCursor);
}

void ColourPanel::SetColour(uint32_t colour) {
  colour_ = colour & 0xFFFFFFu;
  update();
}

void ColourPanel::mousePressEvent(QMouseEvent* event) {
  if (isEnabled() && event->button() == Qt::LeftButton) emit clicked();
}

void ColourPanel::paintEvent(QPaintEvent* event) {
  {
    QPainter p(this);
    p.fillRect(contentsRect(), ToQColor(colour_));
  }
  QFrame::paintEvent(event);
}

PaintBox::PaintBox(const velmora::Bitmap24* image, QWidget* parent)
    : QWidget(parent), image_(image) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void PaintBox::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Qt::black);
  if (!image_ || image_->width <= 0 || image_->height <= 0) return;
  const QImage img(image_->bytes.data(), image_->width, image_->height, image_->width * 3,
                   QImage::Format_BGR888);
  p.drawImage(0, 0, img);
}
