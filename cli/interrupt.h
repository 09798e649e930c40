// What quillora-cli does when it is told to stop (SIGINT, SIGTERM, SIGHUP; on
// Windows Ctrl+C, Ctrl+Break and closing the console):
// it removes the temporary check file of a make that is still running, so the
// folder keeps its old CheckSum.md5 and nothing else, erases its status line,
// and then ends by the same signal (the shell sees 128 + the signal number).
#pragma once

#include "platform/env.h"

namespace quillora::cli {

// Blocks the stop signals in this thread and every thread started after it,
// and leaves them to one waiting thread; ignores SIGPIPE, so that a closed
// pipe is a write error. Call first in main, before any thread starts.
// A signal ignored when the program started stays ignored.
void StartInterruptHandling();

// Starts replacing path through create, and keeps the temporary file's
// path where the interrupt handling finds it while the file exists.
std::unique_ptr<ReplacingFile> TrackForInterrupt(std::unique_ptr<ReplacingFile> (*create)(const std::string& path),
                                                 const std::string& path);

}  // namespace quillora::cli
