// The still save dialog's options under its file list: the depth (8, 16 or
// float, only those the chosen format holds), what to write (the picture, its
// height map or its normal map), the normal map's strength and whether the
// picture carries its alpha as an alpha channel.  The panel follows the
// file name typed or chosen in the dialog: a name the format table does not
// know is a BMP, as the still export writes it.  Under the movie output's
// dialog (FORMOVIE) the panel offers no alpha channel (the alpha output is
// a file of its own) and a movie file's name only 8 bits, as movies hold.
#pragma once

#include <QString>
#include <QWidget>

#include "studio/StillExport.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;

class StillOptionsPanel : public QWidget {
  Q_OBJECT

 public:
  // Starts at OPTIONS (the remembered choice) for a BMP name.
  StillOptionsPanel(const velmora::StillOptions& options, QWidget* parent = nullptr,
                    bool forMovie = false);

  // The choice as the controls show it: a control that does not apply to the
  // format or to what is written (alpha for a map, a depth the format lacks)
  // counts as off.  The JPEG quality is not the panel's: it stays as given.
  velmora::StillOptions Options() const;

  // The file NAME the dialog will write: the depths and the alpha channel
  // follow its format.  A depth chosen earlier comes back when a later name's
  // format holds it.
  void FollowName(const QString& name);

  QComboBox* Depth;
  QComboBox* Content;
  QDoubleSpinBox* NormalStrength;
  QCheckBox* AlphaChannel;
  QLabel* Format;

 private:
  void UpdateEnabled();

  velmora::StillOptions options_;
  unsigned wantedDepth_;
  unsigned formatChannels_ = 0;
  bool forMovie_;
};
