// The options of a movie format other than AVI (MP4, Matroska, WebM,
// QuickTime, animated WebP, GIF, APNG): the codec among those the format
// offers that the installed FFmpeg has, and the quality.  They are stored in
// the settings file's section "Movie" per format on OK; Cancel changes
// nothing.  The AVI compressor list stays in AviOptionsDialog.
#pragma once

#include <QDialog>
#include <string>

#include "output/AviWriter.h"

class QComboBox;
class QLabel;
class QSlider;

class MovieOptionsDialog : public QDialog {
  Q_OBJECT

 public:
  MovieOptionsDialog(std::string settingsPath, const velmora::OutputFormat& format,
                     QWidget* parent = nullptr);

  velmora::MovieEncodeOptions Options() const;

  QComboBox* Codec;
  QSlider* QualityBar;
  QLabel* QualityText;

  void accept() override;  // stores the options, then closes with OK

 private:
  std::string settingsPath_;
  const velmora::OutputFormat& format_;
};
