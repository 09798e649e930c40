#include "app/launch_paths.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <optional>
#include <utility>

#include "app/UnitFrmMain.h"
#include "app/display_text.h"
#include "app/path_box.h"
#include "app/skin/page_control.h"
#include "checkfile/named_check_file.h"
#include "platform/env.h"
#include "platform/paths.h"

namespace quillora {

namespace {

std::vector<std::string> Arguments(int argc, char** argv) {
  std::vector<std::string> arguments;
#ifdef _WIN32
  // argv holds the names in the ANSI code page, where a name outside it is
  // already lost; Qt read the wide command line and left out the same
  // arguments of its own.
  const QStringList wide = QCoreApplication::arguments();
  if (QCoreApplication::instance() && wide.size() == argc) {
    for (int i = 1; i < argc; ++i) arguments.push_back(CoreBytes(wide[i]));
    return arguments;
  }
#endif
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
  return arguments;
}

void ShowPage(TForm1& form, QWidget* page) { form.PageControl->SetCurrentIndex(form.PageControl->IndexOf(page)); }

// Shows page, and once the loop runs puts path into box and starts the
// page's job, as its button would.
void StartJob(TForm1& form, QWidget* page, QLineEdit* box, void (TForm1::*job)(), std::string path) {
  ShowPage(form, page);
  QMetaObject::invokeMethod(
      &form,
      [&form, box, job, path = std::move(path)] {
        form.RunJob([&] {
          SetPathText(*box, path);
          (form.*job)();
        });
      },
      Qt::QueuedConnection);
}

}  // namespace

Launch ReadLaunch(int argc, char** argv) {
  const std::vector<std::string> arguments = Arguments(argc, argv);
  Launch launch;
  std::size_t first = 0;
  if (!arguments.empty()) {
    const std::string& option = arguments.front();
    if (option == "--verify") launch.verb = LaunchVerb::kVerify;
    if (option == "--make") launch.verb = LaunchVerb::kMake;
    if (option == "--calculate") launch.verb = LaunchVerb::kCalculate;
    if (launch.verb != LaunchVerb::kOpen) first = 1;
    if (first < arguments.size() && arguments[first] == "--") ++first;
  }
  for (std::size_t i = first; i < arguments.size(); ++i) launch.paths.push_back(AbsolutePath(arguments[i]));
  return launch;
}

void OpenLaunch(TForm1& form, Launch launch) {
  if (launch.paths.empty()) return;
  Env& env = Env::Default();
  std::string& first = launch.paths.front();
  switch (launch.verb) {
    case LaunchVerb::kOpen:
      if (launch.paths.size() == 1) {
        // The check file `quillora PATH` verifies at once, if PATH names one.
        if (std::optional<std::string> check_file = CheckFileNamedBy(env, first)) {
          StartJob(form, form.SheetVerifier, form.EdtCheckfilePath, &TForm1::BtnVerifyClick, std::move(*check_file));
          return;
        }
      }
      [[fallthrough]];
    case LaunchVerb::kCalculate:
      ShowPage(form, form.SheetFileMD5);
      form.DropOnPage(form.SheetFileMD5, std::move(launch.paths));
      return;
    case LaunchVerb::kVerify: {
      std::string check_file = CheckFileNamedBy(env, first).value_or(first);
      StartJob(form, form.SheetVerifier, form.EdtCheckfilePath, &TForm1::BtnVerifyClick, std::move(check_file));
      return;
    }
    case LaunchVerb::kMake:
      StartJob(form, form.SheetMaker, form.EdtPath, &TForm1::BtnMakeClick, std::move(first));
      return;
  }
}

}  // namespace quillora
