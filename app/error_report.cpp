#include "app/error_report.h"

#include <QApplication>
#include <QMessageBox>
#include <cerrno>
#include <exception>
#include <new>
#include <system_error>

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
  } catch (const std::bad_alloc&) {
    // The library's own words ("std::bad_alloc") say nothing to a user.
    ShowErrorReport(parent, SystemErrorMessage(ENOMEM));
  } catch (const std::system_error& e) {
    ShowErrorReport(parent, e.code().message());  // a thread that could not start
  } catch (const std::exception& e) {
    ShowErrorReport(parent, e.what());
  } catch (...) {
    ShowErrorReport(parent, "Unknown error");
  }
  return false;
}

}  // namespace quillora
