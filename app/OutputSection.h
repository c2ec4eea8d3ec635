// The main window's output state: the JPEG quality, the JPEG quality dialog,
// the movie preview window and whether an export is running.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>

#include "app/MoviePreviewWindow.h"
#include "app/ExportWorker.h"
#include "app/JpegQualityDialog.h"
#include "render/Pixe.h"
#include "render/RenderContext.h"

namespace velmora {
struct StillOptions;
}

class MainWindow;

struct TOutputSection : QObject {
  TOutputSection(MainWindow& window, const std::string& settingsPath);

  // The JPEG quality of every JPEG written, read from the settings file when
  // the window is created.
  uint8_t JpegQuality;
  JpegQualityDialog* JPEGQualityForm;
  MoviePreviewWindow* AVIView;
  // An export is running on the worker (handlers refuse to start a second
  // one).
  bool Exporting = false;
  // Runs the exports with a context of their own on a thread of their own.
  TExportWorker Worker;

  // The window during an export: preview timer stopped, every control
  // disabled (Abort enabled for a movie), menus usable; End restores it.
  static void Begin(MainWindow& w, bool movie);
  static void End(MainWindow& w);
  // Sends the messages of an export's context to the window's message box.
  static void MessageSink(MainWindow& w, velmora::RenderContext& ctx);
  // Draws a movie picture scaled over the preview box.
  static void DrawPicture(MainWindow& w, const velmora::Bitmap24& picture);
  // The save dialog of the two output names' "参照" buttons; with PICTURES
  // it also shows the pictures' depth and content, starting at and writing
  // back to *PICTURES.
  static std::optional<QString> AskMovieName(MainWindow& w,
                                             velmora::StillOptions* pictures = nullptr);

 protected:
  // Closing the window during an export stops it at once and waits for its
  // thread; the movie written so far is closed properly.
  bool eventFilter(QObject* watched, QEvent* event) override;
};
