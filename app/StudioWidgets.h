// Small widgets of the main window: a clickable colour panel and a paint box
// that shows one of our bitmaps unscaled at its top left corner.
#pragma once

#include <QFrame>
#include <QWidget>
#include <cstdint>

#include "render/Pixe.h"

// A panel filled with one colour; a click asks for a new one.
class ColourPanel : public QFrame {
  Q_OBJECT

 public:
  explicit ColourPanel(QWidget* parent = nullptr);
  // Colours as the core's binding holds them: R + 256 G + 65536 B.
  uint32_t Colour() const { return colour_; }
  void SetColour(uint32_t colour);

 signals:
  void clicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  uint32_t colour_ = 0;
};

// Paints a Bitmap24 owned by the window at (0, 0); the rest stays black.
class PaintBox : public QWidget {
  Q_OBJECT

 public:
  PaintBox(const velmora::Bitmap24* image, QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const velmora::Bitmap24* image_;
};
