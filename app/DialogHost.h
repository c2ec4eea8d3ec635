// Every modal dialog and message box of the desktop application goes through
// a DialogHost, so that tests can answer them without a person at the screen.
// QtDialogHost shows the real Qt dialogs.
#pragma once

#include <QColor>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

#include "studio/UnsavedChanges.h"

namespace velmora {
struct StillOptions;
}

class QDialog;
class QWidget;

// What a file dialog asks for.  NameFilters are Qt name filters such as
// "べるもら設定ファイル (*.vlm)"; DefaultSuffix is added to a typed name
// without one.
struct TFileDialogOptions {
  QString Title;
  QStringList NameFilters;
  QString DefaultSuffix;
  QString Preset;          // file name or path the dialog starts with
  bool MustExist = false;  // open dialogs: only an existing file
  QString Note;            // a line shown under the file list (empty: none)
  // The still picture's options under the file list (null: none): the
  // controls start at *Still, follow the chosen name's format and write
  // their choice back when the dialog is accepted.
  velmora::StillOptions* Still = nullptr;
  // The options are those of the movie output's pictures (no alpha channel;
  // 8 bits for a movie file).
  bool StillForMovie = false;
};

using TCustomColours = std::array<QColor, 16>;

class DialogHost {
 public:
  virtual ~DialogHost() = default;
  // The chosen path, or nothing when the user cancelled.
  virtual std::optional<QString> OpenFileName(QWidget* parent, const TFileDialogOptions& o) = 0;
  // Asks before replacing an existing file.
  virtual std::optional<QString> SaveFileName(QWidget* parent, const TFileDialogOptions& o) = 0;
  // A modal box with one text and an OK button.
  virtual void Message(QWidget* parent, const QString& text) = 0;
  // A modal error box (conversion errors, failed saves).
  virtual void Error(QWidget* parent, const QString& text) = 0;
  // The colour dialog, starting at INITIAL with the 16 custom colours CUSTOM;
  // on confirmation CUSTOM holds the dialog's custom colours afterwards.
  virtual std::optional<QColor> ChooseColour(QWidget* parent, const QColor& initial,
                                             TCustomColours& custom) = 0;
  // Runs one of the application's own modal dialogs; returns its result code
  // (QDialog::Accepted or QDialog::Rejected).
  virtual int Exec(QDialog& dialog) = 0;
  // Asks whether to save unsaved changes before they would be dropped (TEXT
  // names the project).  A host that cannot ask anybody discards.
  virtual velmora::TSaveAnswer AskSaveChanges(QWidget* parent, const QString& text) {
    (void)parent;
    (void)text;
    return velmora::TSaveAnswer::Discard;
  }
};

class QtDialogHost : public DialogHost {
 public:
  std::optional<QString> OpenFileName(QWidget* parent, const TFileDialogOptions& o) override;
  std::optional<QString> SaveFileName(QWidget* parent, const TFileDialogOptions& o) override;
  void Message(QWidget* parent, const QString& text) override;
  void Error(QWidget* parent, const QString& text) override;
  std::optional<QColor> ChooseColour(QWidget* parent, const QColor& initial,
                                     TCustomColours& custom) override;
  int Exec(QDialog& dialog) override;
  velmora::TSaveAnswer AskSaveChanges(QWidget* parent, const QString& text) override;
};
