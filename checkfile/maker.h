// The check-file maker: writes "CheckSum.md5" into a folder, recording the
// digest of every file below it, and reports its progress line by line.
//
// The folder text is used exactly as typed (not trimmed). The new check file
// is written beside the old one and renamed over it only when complete: a
// make that fails leaves any earlier check file exactly as it was.
#pragma once

#include <string>
#include <string_view>

#include "checkfile/check_file_format.h"  // CheckFileLayout
#include "checkfile/result_sink.h"
#include "platform/env.h"

namespace quillora {

// What the input checks found; each front shows the message its own way.
enum class MakeInput {
  kReady,
  kNoFolder,       // nothing left after trimming bytes 0 to 32 from both ends
  kFolderMissing,  // nothing at the path, or not a folder
  kFolderUnreadable,  // a folder that cannot be listed (it may still be written)
};

// Checks the folder text before a make. Touches nothing; opens the folder's
// listing to see that it can be read. For kFolderUnreadable, system_error
// (when given) gets the system's reason.
MakeInput CheckMakeInput(Env& env, const std::string& folder_text, int* system_error = nullptr);

// The message of an input problem: "Please select or drag-and-drop a folder
// firstly.", "The folder does not exist." or "The folder cannot be read.";
// empty for kReady.
std::string_view MakeInputMessage(MakeInput input);

// The folder text joined with the name of the check file layout writes
// (CheckFileNameFor: "CheckSum.md5", "MD5SUMS", "SHA256SUMS", ...;
// platform/paths.h: one separator added, none when the text already ends with
// one).
std::string CheckFilePathFor(const std::string& folder_text, const WrittenLayout& layout = {});

// Makes the check file of folder_text, which CheckMakeInput found ready.
// Reports to sink, in this order: for each entry of the depth-first walk in
// listing order (digests/folder_scan.h), FolderEntered for a sub-folder (only
// when include_subfolders) or FileDone for a file ("Processing file "<name>"
// ... OK", "... Could not open file" or "... Name cannot be recorded"); then
// SummaryBegins, the SummaryLines "Operation completed." and "The MD5
// checksum file is save at "<check-file path>"" (the digest's name for
// another digest: "The SHA-256 checksum file ..."), and Flush. Calls
// sink.Pump() before each entry. Returns the check-file path.
//
// Links to files are digested as the file and recorded under the link's name.
// The folder typed is followed when it is a link, but a link to a folder met
// inside it is passed over without a line: never entered, so a link to "/"
// or ".." records nothing outside the folder. "CheckSum.md5" and temporary
// check files (IsCheckFileTemp) are passed over without a line. A file gets
// "Could not open file" and no record when it fails the readability test
// (FIFOs, sockets and devices always do) or its digest fails (also a read
// that fails part way); "Name cannot be recorded" and no record when its
// relative path cannot be written in a check file (CanRecordRelativePath). A
// folder that cannot be listed (also one past the system's path length
// limit) adds nothing. Each file or folder left out so is told to
// sink.LeftOut() with its reason, right after its line.
//
// The new check file replaces the old one as the very last step, after
// sink.Flush(). Raises IoError, with the old check file untouched, when the
// check file cannot be created (an existing one that is read-only gives
// "File access denied" before any scan) or written (e.g. "Disk full").
// Exceptions from the sink (also from Flush) pass through the same way.
//
// Digests are computed ahead by `jobs` worker threads (0: one per core);
// the lines, records and pumps stay the same.
//
// In the sums layout (WrittenLayout: kMd5sum, any digest of the table,
// tagged or not) the check file is the one its digest's tool writes
// (CheckFileNameFor: "MD5SUMS" for `md5sum -c`, "SHA256SUMS" for
// `sha256sum -c`), with no header: every name can be recorded
// (SumsRecordLine), and every file of that name is passed over as
// "CheckSum.md5" is. A digest other than MD5 is read once per file through
// the library's streaming digest.
std::string MakeCheckFile(Env& env, const std::string& folder_text, bool include_subfolders, ResultSink& sink,
                          unsigned jobs = 0, const WrittenLayout& layout = {});

}  // namespace quillora
