#include "app/shell.h"

#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

#include <utility>

#include "app/desktop_url.h"
#include "app/display_text.h"
#include "platform/env.h"
#include "platform/paths.h"

namespace quillora {

namespace {

#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS) && !defined(Q_OS_ANDROID)
constexpr bool kFreedesktop = true;
#else
constexpr bool kFreedesktop = false;
#endif

// xdg-open's exit statuses: 2 "one of the files did not exist", 3 "a
// required tool could not be found" (what it says when no program is
// associated with the type), 4 "the action failed".
OpenOutcome OutcomeOfOpenerExit(int status) {
  switch (status) {
    case 0: return OpenOutcome::kOpened;
    case 2: return OpenOutcome::kMissing;
    case 3: return OpenOutcome::kNoProgram;
    default: return OpenOutcome::kFailed;
  }
}

// Runs xdg-open on target without waiting for it: without a desktop session
// of its own it runs the viewer in the foreground and returns only when the
// viewer ends. done learns the outcome from the event loop.
void RunOpener(const QString& target, OpenDone done) {
  auto* opener = new QProcess;
  opener->setProgram(QStringLiteral("xdg-open"));
  opener->setArguments({target});
  opener->setStandardInputFile(QProcess::nullDevice());
  opener->setStandardOutputFile(QProcess::nullDevice());
  // Its own complaint ("no method available for opening ...") stays visible
  // on standard error for whoever started the program from a terminal.
  opener->setProcessChannelMode(QProcess::ForwardedErrorChannel);
  const auto report = [opener, done = std::move(done)](OpenOutcome outcome) {
    opener->disconnect();
    opener->deleteLater();
    done(outcome);
  };
  QObject::connect(opener, &QProcess::finished, opener, [opener, report](int status, QProcess::ExitStatus how) {
    report(how == QProcess::NormalExit ? OutcomeOfOpenerExit(status) : OpenOutcome::kFailed);
  });
  QObject::connect(opener, &QProcess::errorOccurred, opener, [report](QProcess::ProcessError error) {
    // Only a start that failed means no finished() follows.
    if (error == QProcess::FailedToStart) report(OpenOutcome::kNoOpener);
  });
  opener->start();
}

}  // namespace

void DesktopShell::Open(const std::string& /*verb*/, const std::string& target, OpenDone done) {
  const QUrl url = DesktopUrl(DisplayText(target), kNativePaths);
  if (!done) {
    QDesktopServices::openUrl(url);
    return;
  }
  if (url.isLocalFile() && !FileMayExist(Env::Default(), target)) {
    done(OpenOutcome::kMissing);
    return;
  }
  if constexpr (kFreedesktop) {
    // A path, not a file URL: older xdg-open versions decode URLs badly.
    RunOpener(url.isLocalFile() ? url.toLocalFile() : url.toString(QUrl::FullyEncoded), std::move(done));
  } else {
    // Here the desktop's answer comes back at once, and a refusal means no
    // program is associated with the target.
    done(QDesktopServices::openUrl(url) ? OpenOutcome::kOpened : OpenOutcome::kNoProgram);
  }
}

std::string HelpFilePath(const std::string& exe_folder) { return JoinPath(exe_folder, "help.chm"); }

std::string HelpFailureMessage(OpenOutcome outcome, const std::string& path) {
  std::string reason;
  switch (outcome) {
    case OpenOutcome::kOpened: return {};
    case OpenOutcome::kMissing: reason = "the file does not exist."; break;
    case OpenOutcome::kNoOpener: reason = "the xdg-open command (package xdg-utils) is not installed."; break;
    case OpenOutcome::kNoProgram: reason = "no program to open CHM files is installed."; break;
    // xdg-open under GNOME or KDE also ends this way when no viewer is
    // installed, so the text must not blame one that may not exist.
    case OpenOutcome::kFailed: reason = "no program for CHM files could open it."; break;
  }
  return "Cannot open the help file \"" + path + "\": " + reason;
}

}  // namespace quillora
