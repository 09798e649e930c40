#include "app/launch_paths.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <utility>

#include "app/UnitFrmMain.h"
#include "app/display_text.h"
#include "app/skin/page_control.h"
#include "checkfile/named_check_file.h"
#include "platform/env.h"

namespace quillora {

std::vector<std::string> LaunchPaths(int argc, char** argv) {
  std::vector<std::string> paths;
#ifdef _WIN32
  // argv holds the names in the ANSI code page, where a name outside it is
  // already lost; Qt read the wide command line and left out the same
  // arguments of its own.
  const QStringList wide = QCoreApplication::arguments();
  if (QCoreApplication::instance() && wide.size() == argc) {
    for (int i = 1; i < argc; ++i) paths.push_back(AbsolutePath(CoreBytes(wide[i])));
    return paths;
  }
#endif
  for (int i = 1; i < argc; ++i) paths.push_back(AbsolutePath(argv[i]));
  return paths;
}

void OpenLaunchPaths(TForm1& form, std::vector<std::string> paths) {
  if (paths.empty()) return;
  const bool names_check_file = paths.size() == 1 && CheckFileNamedBy(Env::Default(), paths.front()).has_value();
  // The page now, so the window appears on it; the drop once the loop runs.
  form.PageControl->SetCurrentIndex(form.PageControl->IndexOf(names_check_file ? form.SheetVerifier : form.SheetFileMD5));
  QMetaObject::invokeMethod(
      &form,
      [&form, paths = std::move(paths)] { form.RunNestedJob([&form, &paths] { form.FormDropFiles(paths); }); },
      Qt::QueuedConnection);
}

}  // namespace quillora
