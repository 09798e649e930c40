#include "app/error_report.h"

#include <cerrno>
#include <new>

#include <QApplication>
#include <QMessageBox>
#include <gtest/gtest.h>

#include "app/testing/window_testing.h"
#include "platform/errors.h"

namespace quillora {
namespace {

struct Shown {
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Runs a throwing body through the guard and answers the report with Enter.
Shown Report(const std::function<void()>& body, bool* returned) {
  Shown shown;
  testing::ModalDriver driver([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr) << "the platform's standard message box";
    shown = {box->windowTitle(), box->text(), box->icon()};
    testing::PressKey(modal, Qt::Key_Return);
  });
  *returned = RunReportingErrors(nullptr, body);
  EXPECT_TRUE(driver.Ran());
  return shown;
}

TEST(ErrorReport, ShowsTheErrorWithItsFullStopInACriticalBoxTitledQuillora) {
  bool ok = true;
  Shown s = Report([] { throw IoError(IoError::kAccessDenied); }, &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(s.title, "Quillora");
  EXPECT_EQ(s.text, "File access denied.");
  EXPECT_EQ(s.icon, QMessageBox::Critical);

  EXPECT_EQ(Report([] { throw Error("x"); }, &ok).text, "x.");
  EXPECT_EQ(Report([] { throw Error("x."); }, &ok).text, "x.");
  EXPECT_EQ(Report([] { throw Error("x!"); }, &ok).text, "x!");
  EXPECT_EQ(Report([] { throw std::runtime_error("plain"); }, &ok).text, "plain.");
  EXPECT_EQ(Report([] { throw std::bad_alloc(); }, &ok).text.toStdString(), SystemErrorMessage(ENOMEM) + ".");
  EXPECT_EQ(Report([] { throw 42; }, &ok).text, "Unknown error.") << "nothing escapes the guard";
}

TEST(ErrorReport, ABodyThatSucceedsShowsNothing) {
  int runs = 0;
  EXPECT_TRUE(RunReportingErrors(nullptr, [&] { ++runs; }));
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

}  // namespace
}  // namespace quillora
