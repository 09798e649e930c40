#include "app/testing/window_testing.h"

#include <QApplication>
#include <QTimer>
#include <QtTest/QTest>

namespace quillora::testing {

OpenAnswer ScriptedFileDialogs::OpenFiles(const FileDialogRequest& request, bool multiple) {
  open_requests.push_back(request);
  open_multiple.push_back(multiple);
  OpenAnswer answer;
  answer.filter_index = request.filter_index;
  if (open_answers.empty()) return answer;
  answer.files = std::move(open_answers.front());
  open_answers.pop_front();
  if (!filter_answers.empty()) {
    answer.filter_index = filter_answers.front();
    filter_answers.pop_front();
  }
  return answer;
}

std::optional<std::string> ScriptedFileDialogs::SaveFile(const FileDialogRequest& request) {
  save_requests.push_back(request);
  if (save_answers.empty()) return std::nullopt;
  std::optional<std::string> answer = std::move(save_answers.front());
  save_answers.pop_front();
  return answer;
}

std::optional<std::string> ScriptedFileDialogs::ChooseFolder(const std::string& title) {
  folder_titles.push_back(title);
  if (folder_answers.empty()) return std::nullopt;
  std::optional<std::string> answer = std::move(folder_answers.front());
  folder_answers.pop_front();
  return answer;
}

struct ModalDriver::State {
  QTimer timer;
  std::function<void(QWidget*)> action;
  bool ran = false;
};

ModalDriver::ModalDriver(std::function<void(QWidget*)> action) : state_(new State) {
  state_->action = std::move(action);
  State* s = state_;
  QObject::connect(&s->timer, &QTimer::timeout, [s] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || s->ran || !modal->isVisible()) return;
    // A person's keys go to the active window; wait until the dialog is it.
    if (QApplication::activeWindow() != modal) {
      modal->activateWindow();
      return;
    }
    s->ran = true;
    s->timer.stop();
    s->action(modal);
  });
  s->timer.start(0);
}

ModalDriver::~ModalDriver() { delete state_; }

bool ModalDriver::Ran() const { return state_->ran; }

void PressKey(QWidget* modal, Qt::Key key, Qt::KeyboardModifiers modifiers) {
  QWidget* target = QApplication::focusWidget();
  if (!target || target->window() != modal->window()) target = modal;
  QTest::keyClick(target, key, modifiers);
}

}  // namespace quillora::testing
