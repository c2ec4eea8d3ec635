#include "app/DialogHost.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QCoreApplication>
#include <QDialog>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>

namespace {

QFileDialog* NewFileDialog(QWidget* parent, const TFileDialogOptions& o) {
  auto* d = new QFileDialog(parent, o.Title);
  // The note and the check box need Qt's own dialog, whose layout takes them.
  if (!o.Note.isEmpty() || o.Check) d->setOption(QFileDialog::DontUseNativeDialog);
  d->setNameFilters(o.NameFilters);
  d->setDefaultSuffix(o.DefaultSuffix);
  if (!o.Preset.isEmpty()) d->selectFile(o.Preset);
  if (auto* grid = qobject_cast<QGridLayout*>(d->layout())) {
    if (!o.Note.isEmpty()) {
      auto* note = new QLabel(o.Note, d);
      note->setObjectName(QStringLiteral("FileDialogNote"));
      grid->addWidget(note, grid->rowCount(), 0, 1, -1);
    }
    if (o.Check) {
      auto* box = new QCheckBox(o.CheckText, d);
      box->setObjectName(QStringLiteral("FileDialogCheck"));
      box->setChecked(*o.Check);
      grid->addWidget(box, grid->rowCount(), 0, 1, -1);
    }
  }
  return d;
}

std::optional<QString> RunFileDialog(QFileDialog* d, const TFileDialogOptions& o) {
  std::optional<QString> chosen;
  if (d->exec() == QDialog::Accepted && !d->selectedFiles().isEmpty()) {
    chosen = d->selectedFiles().first();
    if (auto* box = d->findChild<QCheckBox*>(QStringLiteral("FileDialogCheck")); box && o.Check)
      *o.Check = box->isChecked();
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
