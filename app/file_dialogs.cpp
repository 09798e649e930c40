#include "app/file_dialogs.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>

namespace quillora {

namespace {

QString Decode(const std::string& bytes) {
  return QFile::decodeName(QByteArray::fromStdString(bytes));
}

std::string Encode(const QString& path) { return QFile::encodeName(path).toStdString(); }

// "Caption|pattern|Caption|pattern" in Qt's form. The captions stay as the
// program writes them (Qt shows them alone); "*.*" becomes "*", since on
// this platform a file name need not hold a dot.
QStringList QtFilters(const std::string& filter) {
  const QStringList parts = Decode(filter).split('|');
  QStringList result;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(';', ' ');
    QStringList list = patterns.split(' ', Qt::SkipEmptyParts);
    for (QString& p : list)
      if (p == QLatin1String("*.*")) p = QStringLiteral("*");
    result << parts[i] + QStringLiteral(" (") + list.join(' ') + QLatin1Char(')');
  }
  return result;
}

void Prepare(QFileDialog& dialog, const FileDialogRequest& request) {
  dialog.setWindowTitle(Decode(request.title));
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  const QStringList filters = QtFilters(request.filter);
  if (!filters.isEmpty()) dialog.setNameFilters(filters);
  dialog.setSizeGripEnabled(true);
  if (!request.initial_path.empty()) dialog.selectFile(Decode(request.initial_path));
}

}  // namespace

std::vector<std::string> QtFileDialogs::OpenFiles(const FileDialogRequest& request,
                                                  bool multiple) {
  QFileDialog dialog(QApplication::activeWindow());
  Prepare(dialog, request);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(multiple ? QFileDialog::ExistingFiles : QFileDialog::AnyFile);
  std::vector<std::string> chosen;
  if (dialog.exec() != QDialog::Accepted) return chosen;
  for (const QString& f : dialog.selectedFiles()) chosen.push_back(Encode(f));
  if (!multiple && chosen.size() > 1) chosen.resize(1);
  return chosen;
}

std::optional<std::string> QtFileDialogs::SaveFile(const FileDialogRequest& request) {
  QFileDialog dialog(QApplication::activeWindow());
  Prepare(dialog, request);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  QString ext = Decode(request.default_extension);
  if (ext.startsWith('.')) ext.remove(0, 1);
  dialog.setDefaultSuffix(ext);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return Encode(dialog.selectedFiles().first());
}

std::optional<std::string> QtFileDialogs::ChooseFolder(const std::string& title) {
  const QString folder = QFileDialog::getExistingDirectory(
      QApplication::activeWindow(), Decode(title), QString(), QFileDialog::ShowDirsOnly);
  if (folder.isEmpty()) return std::nullopt;
  return Encode(folder);
}

bool TOpenDialog::Execute() {
  FileDialogRequest request{Title, Filter, "", FileName};
  std::vector<std::string> chosen = dialogs_->OpenFiles(request, multiple_);
  if (chosen.empty()) return false;
  Files = std::move(chosen);
  FileName = Files.front();
  return true;
}

bool TSaveDialog::Execute() {
  FileDialogRequest request{Title, Filter, DefaultExt, FileName};
  std::optional<std::string> chosen = dialogs_->SaveFile(request);
  if (!chosen) return false;
  FileName = std::move(*chosen);
  return true;
}

}  // namespace quillora
