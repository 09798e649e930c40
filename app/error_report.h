// The general error report: a failure that a handler does not handle itself
// ends that handler and is shown here; the program goes on running.
#pragma once

#include <functional>
#include <string>

class QWidget;

namespace quillora {

// Shows text, with the report's full stop added, in the platform's standard
// critical message box titled "Quillora", modal over the program's windows.
void ShowErrorReport(QWidget* parent, const std::string& text);

// Runs body and reports whatever it throws, so that no exception ever
// unwinds through Qt's event loop. Returns false when body threw.
bool RunReportingErrors(QWidget* parent, const std::function<void()>& body);

}  // namespace quillora
