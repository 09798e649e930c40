// The platform's file and folder dialogs behind one seam. The window's open
// dialogs (`dlg`, `dlg2`), its save dialog (`dlgSave`) and the folder browser
// all go through a FileDialogs: the real one shows Qt's dialogs, tests script
// the answers. Paths are byte strings, exactly as the file system names them.
#pragma once

#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace quillora {

struct FileDialogRequest {
  std::string title;
  // Pairs of caption and pattern separated by "|":
  // "Text file (*.txt)|*.txt|All files (*.*)|*.*". "*.*" means every file.
  std::string filter;
  // Appended (with its dot) to a chosen name that has no extension; empty
  // for none. Save dialogs only.
  std::string default_extension;
  // The path shown in the name box when the dialog opens; may be empty.
  std::string initial_path;
  // The filter entry in force when the dialog opens, counted from 1.
  int filter_index = 1;
};

// What the user chose in an open dialog: no files when cancelled.
struct OpenAnswer {
  std::vector<std::string> files;  // in the dialog's order
  int filter_index = 1;            // the filter entry in force at the choice
};

class FileDialogs {
 public:
  virtual ~FileDialogs() = default;
  // Open dialog. With multiple false, at most one file. A typed name is
  // taken whether or not such a file exists.
  virtual OpenAnswer OpenFiles(const FileDialogRequest& request, bool multiple) = 0;
  // Save dialog; never asks about an existing file itself. nullopt on cancel.
  virtual std::optional<std::string> SaveFile(const FileDialogRequest& request) = 0;
  // Folder browser showing only folders. nullopt on cancel.
  virtual std::optional<std::string> ChooseFolder(const std::string& title) = 0;
};

// Qt's own file dialogs (never the desktop's, which keep their own history),
// modal over the active window of the program.
//
// Nothing is stored between runs: Qt's dialog saves its folder history and
// view through QSettings' user scope each time it closes, and offers no way
// to stop it, so the first QtFileDialogs points that scope, for the whole
// process, at a folder that cannot be made (below the program's own file):
// Qt's write fails quietly. No file is left in the user's home,
// configuration, cache or temporary folders, even by a run that is killed.
// (On Windows Qt keeps them in the registry, which this does not move.)
class QtFileDialogs : public FileDialogs {
 public:
  QtFileDialogs();
  OpenAnswer OpenFiles(const FileDialogRequest& request, bool multiple) override;
  std::optional<std::string> SaveFile(const FileDialogRequest& request) override;
  std::optional<std::string> ChooseFolder(const std::string& title) override;
};

// The window's open dialog component (`dlg`, `dlg2`): set Title and Filter,
// call Execute(), read FileName or Files. Like its platform counterpart it
// remembers the last choice and the filter entry in force then, which the
// next showing starts from.
class TOpenDialog {
 public:
  TOpenDialog(FileDialogs& dialogs, bool multiple) : dialogs_(&dialogs), multiple_(multiple) {}

  std::string Title;
  std::string Filter;
  std::string FileName;            // the (first) chosen file
  std::vector<std::string> Files;  // every chosen file, in the dialog's order
  int FilterIndex = 1;             // the filter entry in force, from 1

  // True when the user chose something; false on cancel (nothing changes).
  bool Execute();

 private:
  FileDialogs* dialogs_;
  bool multiple_;
};

// The window's save dialog component (`dlgSave`).
class TSaveDialog {
 public:
  explicit TSaveDialog(FileDialogs& dialogs) : dialogs_(&dialogs) {}

  std::string Title;
  std::string Filter;
  std::string DefaultExt;  // ".txt" or "txt"
  std::string FileName;

  bool Execute();

 private:
  FileDialogs* dialogs_;
};

}  // namespace quillora
