#include "ui/gui_host.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPrintPreviewDialog>
#include <QRegularExpression>

#include "ui/desktop.h"
#include "ui/report_page.h"

namespace tarvex::ui {

void GuiHost::busyChanged(bool busy) {
  if (desktop_ != nullptr) desktop_->setBusy(busy);
}

void GuiHost::waitingForUser(bool waiting) {
  if (desktop_ != nullptr) desktop_->setWaitingForUser(waiting);
}

void GuiHost::paintWindowIntoReport(const std::string& form, const std::string& picture) {
  if (desktop_ != nullptr) desktop_->paintWindowIntoReport(form, picture);
}

void GuiHost::showReportPreview(const std::string& page) {
  if (desktop_ != nullptr) desktop_->showReportPreview(reportPage(page));
}

void GuiHost::showReportWindow() {
  if (desktop_ != nullptr) desktop_->showReportWindow();
}

ReportPdf GuiHost::writeReportPdf(const std::string& page, const std::string& file) {
  if (desktop_ == nullptr) return ReportPdf::Unsupported;
  return desktop_->writeReportPdf(reportPage(page), QString::fromStdString(file))
             ? ReportPdf::Written
             : ReportPdf::Failed;
}

void GuiHost::runReportPreview(QPrintPreviewDialog& dialog) {
  dialog.exec();
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
