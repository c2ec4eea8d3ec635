// The JPEG quality dialog of the Settings menu: a scale from 0 to 100 between
// "low quality, small file" and "high quality, large file", the value shown
// with a percent sign.  OK stores the value in the holder the window reads
// every JPEG quality from and in the settings file; Cancel changes nothing.
#pragma once

#include <QDialog>
#include <cstdint>
#include <string>

class QLabel;
class QPushButton;
class QScrollBar;

class JpegQualityDialog : public QDialog {
  Q_OBJECT

 public:
  // quality: the process's JPEG quality, owned by the caller and outliving
  // the dialog; settingsPath: where "JpegQuality" is stored on OK.
  JpegQualityDialog(uint8_t& quality, std::string settingsPath, QWidget* parent = nullptr);

  QLabel* Label1;
  QLabel* Label2;
  QScrollBar* Quality;
  QLabel* QualityText;
  QPushButton* BitBtn1;  // OK
  QPushButton* BitBtn2;  // Cancel

  void FormActivate();              // the scale shows the current quality
  void QualityChange(int position);  // "N%" under the scale
  void BitBtn1Click();              // store and close with OK

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  uint8_t& quality_;
  std::string settingsPath_;
};
