#include "app/file_dialogs.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QDir>
#include <QLineEdit>
#include <QSettings>

#include "app/display_text.h"

namespace quillora {

namespace {

// "Caption|pattern|Caption|pattern" in Qt's form. The captions stay as the
// program writes them (Qt shows them alone); "*.*" becomes "*", since on
// this platform a file name need not hold a dot.
QStringList QtFilters(const std::string& filter) {
  const QStringList parts = DisplayText(filter).split('|');
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

// The names in an open dialog's name box: each one in double quotes when
// there are several ("a.txt" "b.txt"), else the text itself.
QStringList TypedNames(const QString& text) {
  if (!text.contains('"')) return text.isEmpty() ? QStringList() : QStringList{text};
  QStringList names;
  const QStringList parts = text.split('"');
  for (int i = 1; i < parts.size(); i += 2)
    if (!parts[i].isEmpty()) names << parts[i];
  return names;
}

// Qt's own open dialog takes several names only when they all exist, and
// then only those it could select; this one takes the names in its name box
// as they stand, as the program's pick expects (a name that names no file
// becomes a row saying "Could not open file"). A typed folder still opens.
class TypedNamesDialog : public QFileDialog {
 public:
  using QFileDialog::QFileDialog;

  // The chosen files once accepted: the typed names made absolute.
  QStringList chosen;

  void accept() override {
    const auto* edit = findChild<QLineEdit*>("fileNameEdit");
    const QStringList names = edit ? TypedNames(edit->text()) : QStringList();
    QStringList files;
    for (const QString& name : names) files << QDir::cleanPath(directory().absoluteFilePath(name));
    const bool opens_folder = files.size() == 1 && QFileInfo(files.front()).isDir();
    if (fileMode() != QFileDialog::ExistingFiles || files.isEmpty() || opens_folder) {
      QFileDialog::accept();
      return;
    }
    chosen = files;
    QDialog::accept();
  }
};

void Prepare(QFileDialog& dialog, const FileDialogRequest& request) {
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setWindowTitle(DisplayText(request.title));
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  const QStringList filters = QtFilters(request.filter);
  if (!filters.isEmpty()) dialog.setNameFilters(filters);
  if (request.filter_index >= 1 && request.filter_index <= filters.size())
    dialog.selectNameFilter(filters[request.filter_index - 1]);
  dialog.setSizeGripEnabled(true);
  if (!request.initial_path.empty()) dialog.selectFile(DisplayText(request.initial_path));
}

// See QtFileDialogs. Once per process.
void KeepNoDialogSettings() {
  static const bool redirected = [] {
    // A folder below a file, which cannot be made: Qt's write then fails
    // quietly instead of going to the user's. A temporary folder would
    // outlive a run ended by a signal.
    const QString path = QCoreApplication::applicationFilePath() + QStringLiteral("/settings");
    // Qt's dialog asks for the native format; on Windows that is the
    // registry, which no path moves.
    for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
      QSettings::setPath(format, QSettings::UserScope, path);
    return true;
  }();
  (void)redirected;
}

}  // namespace

QtFileDialogs::QtFileDialogs() { KeepNoDialogSettings(); }

OpenAnswer QtFileDialogs::OpenFiles(const FileDialogRequest& request, bool multiple) {
  TypedNamesDialog dialog(QApplication::activeWindow());
  Prepare(dialog, request);  // Qt's own dialog, so typed names reach accept() above
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(multiple ? QFileDialog::ExistingFiles : QFileDialog::AnyFile);
  OpenAnswer answer;
  answer.filter_index = request.filter_index;
  if (dialog.exec() != QDialog::Accepted) return answer;
  for (const QString& f : dialog.chosen.isEmpty() ? dialog.selectedFiles() : dialog.chosen)
    answer.files.push_back(CoreBytes(QDir::toNativeSeparators(f)));
  if (!multiple && answer.files.size() > 1) answer.files.resize(1);
  // With the filters' details hidden, the selected filter comes back without
  // its pattern part.
  const QString selected = dialog.selectedNameFilter();
  const QStringList filters = dialog.nameFilters();
  for (int i = 0; i < filters.size(); ++i)
    if (filters[i] == selected || filters[i].startsWith(selected + QStringLiteral(" ("))) answer.filter_index = i + 1;
  return answer;
}

std::optional<std::string> QtFileDialogs::SaveFile(const FileDialogRequest& request) {
  QFileDialog dialog(QApplication::activeWindow());
  Prepare(dialog, request);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  QString ext = DisplayText(request.default_extension);
  if (ext.startsWith('.')) ext.remove(0, 1);
  dialog.setDefaultSuffix(ext);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return CoreBytes(QDir::toNativeSeparators(dialog.selectedFiles().first()));
}

std::optional<std::string> QtFileDialogs::ChooseFolder(const std::string& title) {
  const QString folder = QFileDialog::getExistingDirectory(
      QApplication::activeWindow(), DisplayText(title), QString(),
      QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
  if (folder.isEmpty()) return std::nullopt;
  return CoreBytes(QDir::toNativeSeparators(folder));
}

bool TOpenDialog::Execute() {
  FileDialogRequest request{Title, Filter, "", FileName, FilterIndex};
  OpenAnswer answer = dialogs_->OpenFiles(request, multiple_);
  if (answer.files.empty()) return false;
  Files = std::move(answer.files);
  FileName = Files.front();
  FilterIndex = answer.filter_index;
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
