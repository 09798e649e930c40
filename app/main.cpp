#include <QApplication>

#include <cerrno>
#include <exception>
#include <memory>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "app/UnitFrmMain.h"
#include "app/error_report.h"
#include "app/file_dialogs.h"
#include "app/launch_paths.h"
#include "app/shell.h"
#include "app/skin/page_control.h"
#include "app/skin/skin.h"
#include "app/verb_gathering.h"
#include "hashes/streaming_digest.h"
#include "platform/env.h"
#include "platform/standard_streams.h"

int main(int argc, char* argv[]) {
  if (!quillora::OpenClosedStandardStreams()) return 1;
  quillora::FitHeapToAddressLimit();
  // The digest library opens files as it starts and ends the program when it
  // cannot: it starts before Qt opens any, with a descriptor free for it.
  std::exception_ptr digests_failed;
  try {
    if (quillora::Env::Default().OpenFilesAllowed() == 0) throw std::system_error(EMFILE, std::generic_category());
    quillora::SetUpDigestLibrary();
  } catch (...) {
    digests_failed = std::current_exception();
  }
  quillora::skin::FixDpiBeforeApplication();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quillora"));
  quillora::skin::Install(app);
  if (digests_failed &&
      !quillora::RunReportingErrors(nullptr, [&digests_failed] { std::rethrow_exception(digests_failed); }))
    return 3;

  quillora::DesktopShell shell;
  quillora::QtFileDialogs dialogs;
  quillora::TForm1 form(shell, dialogs);
  form.PageControl->SetCurrentIndex(0);
  // What is left of the arguments once Qt took its own: paths to open, or a
  // file manager's verb and the paths it applies to.
  quillora::Launch launch = quillora::ReadLaunch(argc, argv);
  std::unique_ptr<quillora::VerbGathering> gathering;
  if (launch.verb == quillora::LaunchVerb::kCalculate && !launch.paths.empty()) {
    // The items of one "Calculate MD5" arrive in one window, however many
    // programs Explorer started for them.
    gathering = quillora::VerbGathering::GatherOrHandOver(launch.paths, [&form](std::vector<std::string> paths) {
      form.DropOnPage(form.SheetFileMD5, std::move(paths));
      form.raise();
      form.activateWindow();
    });
    if (!gathering) return 0;
  }
  quillora::OpenLaunch(form, std::move(launch));
  form.show();
  app.exec();
  return 0;
}
