// The standard descriptors at start-up.
//
// A program started with descriptor 0, 1 or 2 closed ("quillora-cli make DIR
// >&-") would hand that number to the next file it opens: the temporary check
// file would become standard output, and every line meant for the screen
// would land in the check file.
#pragma once

namespace quillora {

// Opens the null device on each of descriptors 0, 1 and 2 that is closed, so
// that no file opened later takes a standard descriptor's number. Output to
// a closed 1 or 2 then goes nowhere; standard input is opened for writing
// only, so a read of it still fails as it did on the closed descriptor
// instead of reading as empty input. Returns false when the null device
// cannot be opened: the program must not go on. Call first in main, before
// anything opens a file or starts a thread. On Windows files are opened as
// handles, never as descriptors, so nothing needs doing there.
bool OpenClosedStandardStreams();

// Under a limit on the process's address space (ulimit -v), keeps the C
// library's heap to one arena: glibc reserves 64 MiB of address space for
// each thread that allocates, so the digest threads would start or fail by
// chance of which allocated first. They allocate little. Without a limit,
// and elsewhere, nothing changes. Call in main before any thread starts.
void FitHeapToAddressLimit();

}  // namespace quillora
