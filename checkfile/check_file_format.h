// The check file: three comment lines, an empty line, then one record per
// file: 32 lower-case digest digits, a TAB, the file's path below the check
// file's folder. Every line ends with CR LF. The writer's side lives here; the
// reader's side is check_file_reader.h.
//
// Inside a check file, folders and names are always joined with "\", so a
// check file made here verifies on Windows and back. The mapping to the
// native separator happens only where a path meets the file system.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "digests/file_texts.h"  // kCouldNotOpenFile
#include "digests/folder_scan.h"  // CanRecordRule
#include "digests/passed_over.h"  // kCheckFileName
#include "hashes/digest_table.h"
#include "platform/env.h"

namespace quillora {

// The layouts a check file is read in (check_file_reader.h) and written in.
enum class CheckFileLayout {
  kQuillora,  // header, then digest, TAB, path: the file holds such records
  kMd5sum,    // the sums lines of md5sum and its kin, for any digest (and, read only, the other tools' lines)
};

inline constexpr std::string_view kCheckFileLineEnd = "\r\n";
inline constexpr char kCheckFileSeparator = '\\';
inline constexpr std::size_t kDigestTextLength = 32;

// The text of the date comment without its ";": "2026-12-06 08:30:03", the
// year padded to at least four digits, the other fields to two, each ":"
// replaced by time_separator.
std::string CheckFileDate(const LocalTime& time, std::string_view time_separator);

// Lines 1 to 4 (title, web page, date comment, empty line), each with CR LF.
std::string CheckFileHeader(const LocalTime& time, std::string_view time_separator);

// One record line with its CR LF. digest_text is written as given (callers
// pass lower case); relative_path is already in check-file form ("\").
std::string CheckFileRecordLine(std::string_view digest_text, std::string_view relative_path);

// How a check file is written: Quillora's own layout (MD5 alone), or the
// sums layout of the md5sum family (CheckFileLayout::kMd5sum) for any digest
// of the table: "DIGEST  NAME" as sha256sum writes it, or with a BSD tag,
// "SHA256 (NAME) = DIGEST", as --tag and cksum write it. MD5 untagged is
// md5sum's own layout.
struct WrittenLayout {
  WrittenLayout(CheckFileLayout layout = CheckFileLayout::kQuillora, DigestId digest = DigestId::kMd5,
                bool tagged = false)
      : layout(layout), digest(digest), tagged(tagged) {}
  CheckFileLayout layout;
  DigestId digest;
  bool tagged;
  bool binary = false;     // untagged lines mark the name "*", as `sha256sum -b` does, not " "
  bool nul_ended = false;  // lines end with NUL, names unescaped, as `sha256sum -z` writes them
};

// One line of the sums layout with its LF: the digest text, a blank, the
// mode mark (a blank, or "*" when binary) and the native relative path with
// "/" between folders (or the tag, the name in brackets, " = " and the
// digest text), the name escaped as md5sum escapes one: when it holds a
// backslash, LF or CR, the line starts with "\" and they are written "\\",
// "\n" and "\r". Every name can be written. With nul_ended, a NUL ends the
// line instead, and the name stands as it is.
std::string SumsRecordLine(const WrittenLayout& written, std::string_view digest_text,
                           std::string_view native_relative_path);
// SumsRecordLine of md5sum's own layout: MD5, untagged.
inline std::string Md5sumRecordLine(std::string_view digest_text, std::string_view native_relative_path) {
  return SumsRecordLine(CheckFileLayout::kMd5sum, digest_text, native_relative_path);
}

// The name of the check file a make writes: "CheckSum.md5" in Quillora's
// layout; in the sums layout the table's first name of the digest, which
// reads back as that digest: the name its own tool gives it ("MD5SUMS",
// "SHA256SUMS", "B2SUMS"), else its tag and "SUMS" ("SHA3-256SUMS",
// "SM3SUMS").
std::string CheckFileNameFor(const WrittenLayout& written);

// What the folder scan for a check file refuses and passes over besides the
// rule of every scan: Quillora's layout cannot hold every name
// (CanRecordRelativePath), the sums layout's escapes write every one, and a
// make in the sums layout passes its own check files ("MD5SUMS",
// "SHA256SUMS") over as ours are.
struct ScanRules {
  CanRecordRule can_record;
  std::string also_passed_over;
};
ScanRules ScanRulesFor(const WrittenLayout& written);
ScanRules ScanRulesFor(CheckFileLayout) = delete;  // a sums file's rules depend on its digest

// True when a native relative path can be written so that it reads back as
// the same path. A name holding "\" would read back as folders; CR, LF and
// Ctrl-Z would break or end the line. Such paths cannot be recorded.
bool CanRecordRelativePath(std::string_view native_relative_path);

// The native relative path in check-file form: each native separator becomes
// "\". Only meaningful when CanRecordRelativePath holds.
std::string ToCheckFilePath(std::string_view native_relative_path);

// A recorded relative path in native form: each "\" (and on Windows each
// "/") becomes the native separator. Every other byte stays.
std::string FromCheckFilePath(std::string_view recorded_relative_path);

// The same in place, on path from byte `from` on (what comes before, such as
// a folder, stays as it is).
void ToNativePath(std::string& path, std::size_t from = 0);

}  // namespace quillora
