// The check-file verifier: reads a check file of any name, recomputes the
// digest of every file it records, reports one verdict line per record and
// ends with the summary of verify_tally.h.
#pragma once

#include <string>
#include <string_view>

#include "checkfile/check_file_format.h"  // WrittenLayout
#include "checkfile/result_sink.h"
#include "checkfile/verify_tally.h"
#include "hashes/digest_table.h"
#include "platform/env.h"

namespace quillora {

// What the input checks found; each front shows the message its own way.
enum class VerifyInput {
  kReady,
  kNoCheckFile,       // nothing left after trimming bytes 0 to 32 from both ends
  kCheckFileMissing,  // nothing at the path, or a folder
};

// Checks the check-file path text before a run. Touches nothing.
VerifyInput CheckVerifyInput(Env& env, const std::string& path_text);

// The message of an input problem: "Please select or drag-and-drop a check
// file firstly." or "The check file does not exist."; empty for kReady.
std::string_view VerifyInputMessage(VerifyInput input);

// The folder the records resolve against, ending with a separator: the
// check file's folder (platform/paths.h) with the trailing-separator rule,
// "./" (the current folder) for a bare name.
std::string BaseFolderOf(const std::string& check_file_path);

// Verifies the check file at check_file_path (used exactly as given). For each
// record, in file order, the full path is the base folder (none with
// options.names_as_written) followed by the relative path in native form,
// and the verdict (sink.VerdictOn) is one of
//   OK ... "<full>"                  the digest matches (letter case ignored)
//   File changed ... "<full>"        it does not
//   File does not exist ... "<full>" nothing there (nor at a path holding a
//                                    NUL byte)
//   Could not open file ... "<full>" it cannot be read: it fails the
//                                    readability test (also every folder,
//                                    FIFO, socket and device), cannot be
//                                    looked at (a folder on its way that may
//                                    not be entered, a name too long), or
//                                    its digest fails (held by another
//                                    program, a read that fails part way)
// with sink.Pump() after each. The check file is closed before the summary.
// Records are read in Quillora's layout, or in those of md5sum's family in a
// file without one (check_file_reader.h); an absolute name there is the path
// itself, not below the base folder. Returns the counts, with the lines read
// as no record, what they look like, and whether a signature went
// unchecked. A record costs about its own length in memory, however long its
// path.
//
// A record of another tool's layout is OK when each digest it holds equals
// one of the digests its line allows (its tag, the check file's name, or its
// length: DigestChoice chooses which to compute, and reads a file again
// before it calls it changed under fewer than all), and a hashdeep row's size
// equals the file's. Among the closing lines, after the count line, the
// verify says which digest the records are when they are not MD5 alone
// (DigestChoice::RecordsLine), then what GnuPG found of the check file's
// signature (SignatureLines), when it is clear-signed or has a signature
// file beside it.
//
// That signature is checked once the check file is open, before any record
// is read, over the bytes the records are then read from
// (check_file_signature.h). One that fails (a BAD signature, a revoked key,
// an expired signature) ends the verify at once: no record is read or
// verified, the closing lines say why, and the counts have signature_fails.
//
// Raises IoError when the check file cannot be opened or read (the whole of
// it is read for a signature before its first record, so a failed read
// comes before any verdict), and a SystemFault when a file's digest finds no
// descriptor or memory (nothing said of that file); the lines reported
// before stay, and no summary is reported.
//
// Digests are computed ahead by `jobs` worker threads (0: one per core);
// the lines and pumps stay the same.
//
// The check file is read where it is (check_file_input.h): names are taken
// from the folder of the file a link leads to; from a pipe, or with
// options.dash_is_standard_input from standard input ("-", /dev/stdin), from
// the current folder. One that changes while it is read (its size or time
// at the end differs from those at its open) raises a SystemFault, as it
// would pass part of it, or of another, off as the whole. After the summary
// comes what was not read of it (ReportUnreadLines).
// Where a verify's records came from, once it has read them all.
struct RecordsOrigin {
  std::string base;             // the folder names were taken from, with its separator
  std::string check_file_name;  // the check file's own name where it lies; empty from standard input
  WrittenLayout written;        // the layout and digest a make of such a check file writes
};

// What a verify says of its records as it reads them, on the verify's own
// thread: each record's path below the base folder as the verify resolved
// it (an absolute record's only when it lies below the base), ahead of the
// record's verdict; then, once the check file was read whole, where the
// records came from. A verify that fails never calls RecordsRead.
class RecordWatcher {
 public:
  virtual ~RecordWatcher() = default;
  virtual void RecordBelow(std::string_view relative) = 0;
  virtual void RecordsRead(const RecordsOrigin& origin) = 0;
};

struct VerifyOptions {
  bool dash_is_standard_input = false;
  // The folder names are taken from instead of the check file's own (or the
  // current folder's), as given; empty: the check file's. For a check file
  // kept apart from the files it records.
  std::string base_folder = {};
  // A record whose file does not exist gets no verdict and no count, and is
  // in no list (VerifyCounts::missing_ignored counts it), as md5sum's
  // --ignore-missing takes it: a partial copy of a tree checks clean.
  bool ignore_missing = false;
  // The digests the user fixed (`-a NAME`, with `-l BITS`: DigestsByCksumName):
  // each line is read as one of them, and one of another is not read
  // (ReadingRules::fixed). Empty: each line's tag, the check file's name or
  // the digest's length decides.
  DigestSet digests = {};
  // Names are taken from the current folder, with no folder before them,
  // as the GNU checkers take them: each verdict's path is the record's name
  // as its line writes it (decoded, in native form). base_folder is unused.
  bool names_as_written = false;
  // Records end at NUL, as `sha256sum -z` writes them (ReadingRules::nul_ended).
  bool nul_ended = false;
  // Each line read as no record is also told in its place among the
  // verdicts (ResultSink::UnreadLineMet), every one of them.
  bool unread_lines_in_place = false;
  // Told of every record as it is read (a finder of new files), or none.
  RecordWatcher* watcher = nullptr;
};
VerifyCounts VerifyCheckFile(Env& env, const std::string& check_file_path, ResultSink& sink, unsigned jobs = 0,
                             const VerifyOptions& options = {});

}  // namespace quillora
