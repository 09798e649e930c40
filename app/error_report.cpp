#include "app/error_report.h"

#include <QApplication>
#include <QMessageBox>
#include <exception>

#include "app/display_text.h"
#include "platform/errors.h"

namespace quillora {

void ShowErrorReport(QWidget* parent, const std::string& text) {
  const std::string shown = WithFullStop(text);
  QMessageBox::critical(parent, QStringLiteral("Quillora"), DisplayText(shown),
                        QMessageBox::Ok);
}

bool RunReportingErrors(QWidget* parent, const std::function<void()>& body) {
  try {
    body();
    return true;
  } catch (const std::exception& e) {
    ShowErrorReport(parent, e.what());
  } catch (...) {
    ShowErrorReport(parent, "Unknown error");
  }
  return false;
}

}  // namespace quillora
