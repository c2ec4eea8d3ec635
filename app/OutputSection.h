// The main window's output state: the JPEG quality, the JPEG quality dialog,
// the movie preview window and whether an export is running.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>

#include "app/AVIViewSrc.h"
#include "app/JPEGQualityunit.h"
#include "render/Pixe.h"
#include "render/RenderContext.h"

class TInternalCloudMaker;

struct TOutputSection : QObject {
  TOutputSection(TInternalCloudMaker& window, const std::string& settingsPath);

  // The JPEG quality of every JPEG written, read from the settings file when
  // the window is created.
  uint8_t JpegQuality;
  TJPEGQualityForm* JPEGQualityForm;
  TAVIView* AVIView;
  // An export is running (events are pumped meanwhile, so handlers can run
  // again; they refuse to start a second export).
  bool Exporting = false;
  // The window's render context (its RenderIdle is the movie's abort signal).
  velmora::RenderContext& Context;

  // The window during an export: preview timer stopped, every control
  // disabled (Abort enabled for a movie), menus usable; End restores it.
  static void Begin(TInternalCloudMaker& w, bool movie);
  static void End(TInternalCloudMaker& w);
  // Draws a movie picture scaled over the preview box.
  static void DrawPicture(TInternalCloudMaker& w, const velmora::Bitmap24& picture);
  // The save dialog of the two output names' "参照" buttons.
  static std::optional<QString> AskMovieName(TInternalCloudMaker& w);

 protected:
  // Closing the window during a movie stops it before its next frame.
  bool eventFilter(QObject* watched, QEvent* event) override;
};
