// What quillora-cli does when it is told to stop (SIGINT, SIGTERM, SIGHUP;
// on Windows Ctrl+C, Ctrl+Break and closing the console)
// or its reader has gone (a closed pipe, as "quillora-cli hash DIR | head
// -1" closes it): it removes the temporary check file of a make that is still
// running, so the folder keeps its old CheckSum.md5 and nothing else, erases
// its status line, and then ends by that signal (the shell sees 128 + the
// signal number; 141 for SIGPIPE, as for md5sum).
#pragma once

#include "platform/env.h"

namespace quillora::cli {

// Blocks the stop signals in this thread and every thread started after it,
// and leaves them to one waiting thread; ignores SIGPIPE, so that a closed
// pipe is a failed write that EndOnBrokenPipe() turns into SIGPIPE once the
// temporary file is gone. Call first in main, before any thread starts.
// A signal ignored when the program started stays ignored.
void StartInterruptHandling();

// Called when a write to standard output found its pipe closed: ends the
// program as the stop signals do, by SIGPIPE. Returns only when SIGPIPE was
// ignored when the program started; the failed write is then an error.
void EndOnBrokenPipe();

// Starts replacing path through env, and keeps the temporary file's path
// where the interrupt handling finds it while the file exists.
std::unique_ptr<ReplacingFile> TrackForInterrupt(Env& env, const std::string& path);

}  // namespace quillora::cli
