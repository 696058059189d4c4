#include "ui/gui_host.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QRegularExpression>

#include "ui/desktop.h"

namespace tarvex::ui {

void GuiHost::busyChanged(bool busy) {
  if (desktop_ != nullptr) desktop_->setBusy(busy);
}

QString qtFilter(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split('|');
  QStringList out;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i].trimmed();
    // The description may carry its own "(patterns)": Qt reads patterns from there, so the
    // text in brackets is replaced by the pattern list proper.
    description.remove(QRegularExpression(QStringLiteral("\\s*\\([^)]*\\)\\s*$")));
    QStringList patterns;
    for (const QString& p :
         parts[i + 1].split(QRegularExpression(QStringLiteral("[;\\s]+")), Qt::SkipEmptyParts)) {
      if (!patterns.contains(p)) patterns << p;
    }
    out << description + " (" + patterns.join(' ') + ")";
  }
  return out.join(QStringLiteral(";;"));
}

QWidget* QtHost::parent() const {
  QWidget* w = QApplication::activeWindow();
  if (w == nullptr && desktop_ != nullptr) w = desktop_->mainWindow();
  return w;
}

void QtHost::showMessage(const std::string& text) {
  QMessageBox::information(parent(), QApplication::applicationDisplayName(),
                           QString::fromStdString(text));
}

bool QtHost::askYesNo(const std::string& text) {
  return QMessageBox::question(parent(), QApplication::applicationDisplayName(),
                               QString::fromStdString(text),
                               QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

std::optional<std::string> QtHost::fileDialog(const FileDialog& d, bool save) {
  QFileDialog dialog(parent(), QString::fromStdString(d.title));
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (!d.filter.empty()) dialog.setNameFilter(qtFilter(d.filter));
  QString ext = QString::fromStdString(d.defaultExt);
  ext.remove(QRegularExpression(QStringLiteral("^\\*?\\.")));
  if (!ext.isEmpty() && !ext.contains('*')) dialog.setDefaultSuffix(ext);
  // Relative names are proposed in the folder the program was started in.
  const QFileInfo proposed(QDir(startFolder_), QString::fromStdString(d.fileName));
  dialog.setDirectory(d.fileName.empty() ? startFolder_ : proposed.absolutePath());
  if (!d.fileName.empty()) dialog.selectFile(proposed.fileName());
  // A save dialog asks before it replaces a file (Qt's dialog does this by default).
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front().toStdString();
}

std::optional<std::string> QtHost::openFile(const FileDialog& dialog) {
  return fileDialog(dialog, false);
}

std::optional<std::string> QtHost::saveFile(const FileDialog& dialog) {
  return fileDialog(dialog, true);
}

void QtHost::processEvents() {
  // Often enough to keep the windows responsive, rarely enough to cost nothing per bin.
  if (sinceEvents_.isValid() && sinceEvents_.elapsed() < 15) return;
  QApplication::processEvents();
  sinceEvents_.start();
}

}  // namespace tarvex::ui
