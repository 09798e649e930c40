// How many digest threads a job runs with, for the fronts that start jobs:
// they ask here rather than reach into the digest-ahead pipeline.
#pragma once

namespace quillora {

// The thread count for a job started from a window, whose thread must keep
// processing its messages while a digest runs: as many as a job takes by
// default (one per core, or the number set for the program), and never fewer
// than two, so that even on one core a large file is digested on a worker
// while the window stays live.
unsigned WindowJobThreads();

}  // namespace quillora
