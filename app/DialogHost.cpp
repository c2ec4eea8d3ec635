#include "app/DialogHost.h"

#include <QColorDialog>
#include <QCoreApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>

#include "app/StillOptionsPanel.h"

namespace {

// Keeps PANEL on the format of the name the dialog would write: the typed
// name, with the chosen filter's extension when it has none (the filter
// "*.*" adds DEFAULTSUFFIX).
void FollowFileName(QFileDialog* d, StillOptionsPanel* panel, const QString& defaultSuffix) {
  auto* edit = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  auto follow = [d, panel, edit] {
    QString name = edit ? edit->text() : QString();
    if (!name.isEmpty() && QFileInfo(name).suffix().isEmpty() && !d->defaultSuffix().isEmpty())
      name += QLatin1Char('.') + d->defaultSuffix();
    panel->FollowName(name);
  };
  // A name typed without an extension gets the chosen filter's extension:
  // "PNGイメージ (*.png)" gives png, the first pattern in the parentheses.
  auto useFilter = [d, defaultSuffix, follow](const QString& filter) {
    const QString patterns = filter.section(QLatin1Char('('), -1).section(QLatin1Char(')'), 0, 0);
    const QString suffix = QFileInfo(patterns.section(QLatin1Char(' '), 0, 0)).suffix();
    d->setDefaultSuffix(suffix.isEmpty() || suffix.contains(QLatin1Char('*')) ? defaultSuffix
                                                                              : suffix);
    follow();
  };
  QObject::connect(d, &QFileDialog::filterSelected, panel, useFilter);
  if (edit) QObject::connect(edit, &QLineEdit::textChanged, panel, follow);
  follow();
}

QFileDialog* NewFileDialog(QWidget* parent, const TFileDialogOptions& o) {
  auto* d = new QFileDialog(parent, o.Title);
  // The note and the still options need Qt's own dialog, whose layout takes them.
  if (!o.Note.isEmpty() || o.Still) d->setOption(QFileDialog::DontUseNativeDialog);
  d->setNameFilters(o.NameFilters);
  d->setDefaultSuffix(o.DefaultSuffix);
  if (!o.Preset.isEmpty()) d->selectFile(o.Preset);
  if (auto* grid = qobject_cast<QGridLayout*>(d->layout())) {
    if (!o.Note.isEmpty()) {
      auto* note = new QLabel(o.Note, d);
      note->setObjectName(QStringLiteral("FileDialogNote"));
      grid->addWidget(note, grid->rowCount(), 0, 1, -1);
    }
    if (o.Still) {
      auto* panel = new StillOptionsPanel(*o.Still, d, o.StillForMovie);
      grid->addWidget(panel, grid->rowCount(), 0, 1, -1);
      FollowFileName(d, panel, o.DefaultSuffix);
    }
  }
  return d;
}

std::optional<QString> RunFileDialog(QFileDialog* d, const TFileDialogOptions& o) {
  std::optional<QString> chosen;
  if (d->exec() == QDialog::Accepted && !d->selectedFiles().isEmpty()) {
    chosen = d->selectedFiles().first();
    if (auto* panel = d->findChild<StillOptionsPanel*>(); panel && o.Still)
      *o.Still = panel->Options();
  }
  delete d;
  return chosen;
}

}  // namespace

std::optional<QString> QtDialogHost::OpenFileName(QWidget* parent, const TFileDialogOptions& o) {
  QFileDialog* d = NewFileDialog(parent, o);
  d->setAcceptMode(QFileDialog::AcceptOpen);
  d->setFileMode(o.MustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  return RunFileDialog(d, o);
}

std::optional<QString> QtDialogHost::SaveFileName(QWidget* parent, const TFileDialogOptions& o) {
  QFileDialog* d = NewFileDialog(parent, o);
  d->setAcceptMode(QFileDialog::AcceptSave);
  d->setFileMode(QFileDialog::AnyFile);
  return RunFileDialog(d, o);
}

void QtDialogHost::Message(QWidget* parent, const QString& text) {
  QMessageBox::information(parent, QCoreApplication::applicationName(), text);
}

void QtDialogHost::Error(QWidget* parent, const QString& text) {
  QMessageBox::critical(parent, QCoreApplication::applicationName(), text);
}

std::optional<QColor> QtDialogHost::ChooseColour(QWidget* parent, const QColor& initial,
                                                 TCustomColours& custom) {
  for (int i = 0; i < QColorDialog::customCount() && i < 16; ++i)
    QColorDialog::setCustomColor(i, custom[i]);
  const QColor chosen = QColorDialog::getColor(initial, parent);
  if (!chosen.isValid()) return std::nullopt;
  for (int i = 0; i < QColorDialog::customCount() && i < 16; ++i)
    custom[i] = QColorDialog::customColor(i);
  return chosen;
}

int QtDialogHost::Exec(QDialog& dialog) { return dialog.exec(); }

velmora::TSaveAnswer QtDialogHost::AskSaveChanges(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::Warning, QCoreApplication::applicationName(), text,
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent);
  box.setObjectName(QStringLiteral("SaveChangesBox"));
  box.setDefaultButton(QMessageBox::Save);
  box.setEscapeButton(QMessageBox::Cancel);
  switch (box.exec()) {
    case QMessageBox::Save:
      return velmora::TSaveAnswer::Save;
    case QMessageBox::Discard:
      return velmora::TSaveAnswer::Discard;
    default:
      return velmora::TSaveAnswer::Cancel;
  }
}
