// Helpers for window tests: a shell that records instead of opening, file
// dialogs that answer from a script, and a driver for modal dialogs that
// presses keys the way a person would.
#pragma once

#include <QString>
#include <QWidget>
#include <deque>
#include <functional>
#include <ostream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/file_dialogs.h"
#include "app/shell.h"

// Readable QString values in test failures.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace quillora::testing {

// The prompts the maker and verifier pages show, as the tests expect them.
inline const QString kMakerPrompt =
    "Please select or drag-and-drop a folder to make MD5 checksum, then click \"Make check file\" button.";
inline const QString kVerifierPrompt =
    "Please select or drag-and-drop a check file, then click \"Verify check file\" to verify files integrity.";

class RecordingShell : public Shell {
 public:
  void Open(const std::string& verb, const std::string& target, OpenDone /*done*/) override {
    opened.emplace_back(verb, target);
  }
  std::vector<std::pair<std::string, std::string>> opened;  // (verb, target)
};

// Answers each dialog with the next scripted answer; a dialog shown with no
// answer left is cancelled. Every request is recorded.
class ScriptedFileDialogs : public FileDialogs {
 public:
  std::deque<std::vector<std::string>> open_answers;   // empty vector: cancel
  std::deque<int> filter_answers;                      // the filter entry chosen with each answer
  std::deque<std::optional<std::string>> save_answers;
  std::deque<std::optional<std::string>> folder_answers;

  std::vector<FileDialogRequest> open_requests;
  std::vector<bool> open_multiple;
  std::vector<FileDialogRequest> save_requests;
  std::vector<std::string> folder_titles;

  OpenAnswer OpenFiles(const FileDialogRequest& request, bool multiple) override;
  std::optional<std::string> SaveFile(const FileDialogRequest& request) override;
  std::optional<std::string> ChooseFolder(const std::string& title) override;
};

// Runs action on the first modal widget that opens while the driver lives
// (checked from the event loop, so also inside a modal exec()). The action
// typically reads the dialog and presses a key that closes it.
class ModalDriver {
 public:
  explicit ModalDriver(std::function<void(QWidget* modal)> action);
  ~ModalDriver();
  ModalDriver(const ModalDriver&) = delete;
  ModalDriver& operator=(const ModalDriver&) = delete;
  // True once the action has run.
  bool Ran() const;

 private:
  struct State;
  State* state_;
};

// Presses a key where a person's key press would go: the focused widget of
// the active modal dialog (or of the dialog itself when nothing has focus).
void PressKey(QWidget* modal, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

}  // namespace quillora::testing
