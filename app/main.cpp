#include <QApplication>

#include "app/UnitFrmMain.h"
#include "app/file_dialogs.h"
#include "app/launch_paths.h"
#include "app/shell.h"
#include "app/skin/page_control.h"
#include "app/skin/skin.h"
#include "platform/standard_streams.h"

int main(int argc, char* argv[]) {
  if (!quillora::OpenClosedStandardStreams()) return 1;
  quillora::skin::FixDpiBeforeApplication();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quillora"));
  quillora::skin::Install(app);

  quillora::DesktopShell shell;
  quillora::QtFileDialogs dialogs;
  quillora::TForm1 form(shell, dialogs);
  form.PageControl->SetCurrentIndex(0);
  // What is left of the arguments once Qt took its own: paths to open, or a
  // file manager's verb and the paths it applies to.
  quillora::OpenLaunch(form, quillora::ReadLaunch(argc, argv));
  form.show();
  app.exec();
  return 0;
}
