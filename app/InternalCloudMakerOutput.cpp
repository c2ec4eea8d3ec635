// The main window's output section and Settings menu: still and movie
// export, the output names, the gauges and the export options dialogs.
#include <QAction>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "app/InternalCloudMakerUnit.h"
#include "render/Render.h"

void TInternalCloudMaker::SavePictureClick() {}

void TInternalCloudMaker::SaveMovieClick() {}

void TInternalCloudMaker::AbortClick() {}

void TInternalCloudMaker::ReferOutPutClick() {}

void TInternalCloudMaker::ReferOutPutAlphaClick() {}

// The movie button is usable when either output name is non-blank.
void TInternalCloudMaker::OutPutFilenChange() {
  SaveMovie->setEnabled(!OutPutFilen->text().trimmed().isEmpty() ||
                        !OutPutAlpha->text().trimmed().isEmpty());
}

// Copies the progress values into the gauges.
void TInternalCloudMaker::ProgressTimerTimer() {
  IProgressBar->setValue(ctx_.FrameProgress);
  PixeProgressBar->setValue(ctx_.PixeProgress);
}

void TInternalCloudMaker::JPEG1Click() {}

void TInternalCloudMaker::AVIA1Click() {}

void TInternalCloudMaker::ConnectOutputHandlers() {
  connect(SavePicture, &QPushButton::clicked, this, &TInternalCloudMaker::SavePictureClick);
  connect(SaveMovie, &QPushButton::clicked, this, &TInternalCloudMaker::SaveMovieClick);
  connect(Abort, &QPushButton::clicked, this, &TInternalCloudMaker::AbortClick);
  connect(ReferOutPut, &QPushButton::clicked, this, &TInternalCloudMaker::ReferOutPutClick);
  connect(ReferOutPutAlpha, &QPushButton::clicked, this,
          &TInternalCloudMaker::ReferOutPutAlphaClick);
  connect(OutPutFilen, &QLineEdit::textChanged, this, &TInternalCloudMaker::OutPutFilenChange);
  connect(OutPutAlpha, &QLineEdit::textChanged, this, &TInternalCloudMaker::OutPutFilenChange);
  connect(JPEG1, &QAction::triggered, this, &TInternalCloudMaker::JPEG1Click);
  connect(AVIA1, &QAction::triggered, this, &TInternalCloudMaker::AVIA1Click);
}
