// Takes screenshots of the real window on the current X display: one per
// page, one of a message and one of the overwrite question, as page1.png ...
// page4.png, message.png and overwrite.png in the folder given as the only
// argument. Run it with
// scripts/screenshots, which starts a virtual display.
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QPixmap>
#include <QScreen>
#include <QTableView>
#include <QTimer>
#include <cstdio>

#include "app/UnitFrmMain.h"
#include "app/file_dialogs.h"
#include "app/file_list_model.h"
#include "app/shell.h"
#include "app/skin/page_control.h"
#include "app/skin/skin.h"

namespace {

void Settle(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

bool Shoot(const QString& file) {
  const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
  const bool ok = shot.save(file);
  std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(file));
  return ok;
}

}  // namespace

int main(int argc, char* argv[]) {
  quillora::skin::FixDpiBeforeApplication();
  QApplication app(argc, argv);
  quillora::skin::Install(app);
  if (argc != 2) {
    std::fprintf(stderr, "usage: quillora_screenshots FOLDER\n");
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[1]));

  quillora::DesktopShell shell;
  quillora::QtFileDialogs dialogs;
  quillora::TForm1 form(shell, dialogs);
  // A few rows, so the list shows its grid and a selection, with the paths
  // of the system the picture shows.
  const char* samples[][2] = {
#ifdef _WIN32
      {"C:\\Users\\anna\\Pictures\\beach.jpg", "9e107d9d372bb6826bd81d3542a419d6"},
      {"C:\\Users\\anna\\Pictures\\harbour.jpg", "e4d909c290d0fb1ca068ffaddf22cbd0"},
      {"C:\\Users\\anna\\Documents\\empty.txt", "d41d8cd98f00b204e9800998ecf8427e"},
      {"C:\\Users\\anna\\Documents\\Private\\diary.txt", "Could not open file"},
#else
      {"/home/anna/photos/beach.jpg", "9e107d9d372bb6826bd81d3542a419d6"},
      {"/home/anna/photos/harbour.jpg", "e4d909c290d0fb1ca068ffaddf22cbd0"},
      {"/home/anna/notes/empty.txt", "d41d8cd98f00b204e9800998ecf8427e"},
      {"/home/anna/private/diary.txt", "Could not open file"},
#endif
  };
  for (const auto& [path, second] : samples)
    form.LvwFileModel->SetDigest(form.LvwFileModel->AppendRow(path), second);
  form.LvwFile->selectRow(1);
  form.show();
  bool ok = true;
  for (int page = 0; page < form.PageControl->Count(); ++page) {
    form.PageControl->SetCurrentIndex(page);
    Settle(400);
    ok &= Shoot(out.filePath(QStringLiteral("page%1.png").arg(page + 1)));
  }

  form.PageControl->SetCurrentIndex(0);
  auto& q = *form.suiDlg;
  // Shows the dialog as set up, takes its picture once it is drawn, closes it.
  const auto shoot_dialog = [&](const QString& name) {
    QTimer::singleShot(600, [&, name] {
      ok &= Shoot(out.filePath(name));
      if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    q.Execute();
  };
  // The message dialog as an error shows it: one button, the stop icon.
  q.Caption = "Quillora";
  q.Text = "Cannot open file \"C:\\data\\report.doc\". Access is denied.";
  q.IconType = quillora::suiStop;
  q.ButtonCount = 1;
  q.Button1Caption = "OK";
  q.Button1ModalResult = quillora::mrOk;
  shoot_dialog(QStringLiteral("message.png"));

  q.Caption = "Overwrite";
  q.Text = "The file already exists, do you want to overwrite it?";
  q.IconType = quillora::suiWarning;
  q.ButtonCount = 2;
  q.Button1Caption = "Yes";
  q.Button1ModalResult = quillora::mrYes;
  q.Button2Caption = "NO";
  q.Button2ModalResult = quillora::mrNo;
  shoot_dialog(QStringLiteral("overwrite.png"));
  return ok ? 0 : 1;
}
