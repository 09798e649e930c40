// The window against the command line on the same folder, offscreen: the
// list's folder scan against `quillora-cli hash`, the maker page against
// `quillora-cli make`, and deleting half of a large list. Best of 3 each.
// Usage: window_bench FOLDER PATH_TO_QUILLORA_CLI
#include <QApplication>
#include <QItemSelection>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest/QTest>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "app/UnitFrmMain.h"
#include "app/file_list_model.h"
#include "app/skin/page_control.h"
#include "app/skin/skin.h"
#include "app/testing/window_testing.h"

namespace {

double Seconds(const std::function<void()>& run) {
  const auto start = std::chrono::steady_clock::now();
  run();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double BestOf3(const std::function<void()>& before, const std::function<void()>& run) {
  double best = 1e9;
  for (int i = 0; i < 3; ++i) {
    before();
    best = std::min(best, Seconds(run));
  }
  return best;
}

void Report(const char* what, double window, const char* peer, double cli, double goal) {
  const double ratio = window / cli;
  std::printf("%-28s %7.3f s   %-24s %7.3f s   window/cli %.2f (goal at most %.2f) %s\n", what, window, peer, cli,
              ratio, goal, ratio <= goal ? "met" : "SHORT");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: window_bench FOLDER QUILLORA_CLI\n");
    return 2;
  }
  const std::string folder = argv[1];
  const std::string cli = argv[2];
  quillora::skin::FixDpiBeforeApplication();
  QApplication app(argc, argv);
  quillora::skin::Install(app);
  quillora::testing::RecordingShell shell;
  quillora::testing::ScriptedFileDialogs dialogs;
  std::unique_ptr<quillora::TForm1> form;
  const auto fresh = [&] { form = std::make_unique<quillora::TForm1>(shell, dialogs); };

  const double scan = BestOf3(fresh, [&] { form->RunNestedJob([&] { form->FormDropFiles({folder}); }); });
  const double hash = BestOf3([] {}, [&] { std::system(("'" + cli + "' hash '" + folder + "' >/dev/null").c_str()); });
  const int rows = form->LvwFileModel->Count();
  Report(("list scan, " + std::to_string(rows) + " rows").c_str(), scan, "quillora-cli hash", hash, 1.3);

  // Every other row selected, then "Delete".
  QItemSelection every_other;
  for (int row = 0; row < rows; row += 2)
    every_other.select(form->LvwFileModel->index(row, 0), form->LvwFileModel->index(row, 1));
  form->LvwFile->selectionModel()->select(every_other, QItemSelectionModel::Select | QItemSelectionModel::Rows);
  const double removal = Seconds([&] { QTest::mouseClick(form->BtnClear, Qt::LeftButton); });
  std::printf("%-28s %7.3f s   (%d rows left)\n", "delete every other row", removal, form->LvwFileModel->Count());

  const double make = BestOf3(
      [&] {
        fresh();
        form->PageControl->SetCurrentIndex(1);
        form->EdtPath->setText(QString::fromStdString(folder));
      },
      [&] { QTest::mouseClick(form->BtnMake, Qt::LeftButton); });
  const double cli_make =
      BestOf3([] {}, [&] { std::system(("'" + cli + "' make '" + folder + "' >/dev/null").c_str()); });
  Report("maker page", make, "quillora-cli make", cli_make, 1.2);
  return 0;
}
