// The movie compression options of the Settings menu: the codec (those the
// installed FFmpeg can write into AVI), a key frame every N frames, the
// quality and the data rate.  The dialog shows the options stored in the
// settings file's section "AWR" (or the defaults a movie would use) and
// stores them there on OK; Cancel changes nothing.  Values the user does not
// touch are stored back exactly as they were read.
#pragma once

#include <QDialog>
#include <string>

#include "output/AviWriter.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QSlider;
class QSpinBox;

class AviOptionsDialog : public QDialog {
  Q_OBJECT

 public:
  explicit AviOptionsDialog(std::string settingsPath, QWidget* parent = nullptr);

  // The options the controls show now, and filling the controls.
  velmora::AviOptions Options() const;
  void SetOptions(const velmora::AviOptions& options);

  QComboBox* Codec;
  QSlider* QualityBar;
  QLabel* QualityText;
  QCheckBox* KeyFrameChk;
  QSpinBox* KeyFrameEvery;
  QCheckBox* DataRateChk;
  QSpinBox* DataRate;  // KB per second

  void accept() override;  // stores the options, then closes with OK

 private:
  void CodecChange();
  void QualityChange(int value);
  int CodecIndex(uint32_t handler);

  std::string settingsPath_;
  velmora::AviOptions shown_;  // what SetOptions put into the controls
};
