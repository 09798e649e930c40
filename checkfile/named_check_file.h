// Which check file a path names when the user hands it to the verifier page
// (a drop, or a path given to the program), and the names of the check files
// the verifier reads: the rule both share, and the patterns a dialog offers.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/env.h"

namespace quillora {

// Whether a file's name says it is a check file the verifier reads, letter
// case ignored: a name or an extension that implies a digest
// (DigestsByFileName: "CheckSum.md5", "CHECKSUM.MD5", "MD5SUMS",
// "SHA256SUMS.asc", "disc.iso.sha256", "B2SUMS", "x.sfv"), or one that ends
// in "CHECKSUM" or "CHECKSUMS" before a ".txt" or ".asc", as Fedora names its
// files of tagged lines and many a release page its sums ("checksums.txt").
bool NamesCheckFile(std::string_view name);

// The names and patterns NamesCheckFile takes, for a file dialog's filter,
// separated by ";": "*.md5;*.md5sum;MD5SUMS;MD5SUM;*.sha1;...;*CHECKSUMS.txt".
std::string CheckFilePatterns();

// The check file path names: path itself when it is a file (not a folder)
// that NamesCheckFile; inside a folder, its kCheckFileName, else its
// kMd5sumsFileName, else the first of the other digests' sums files
// ("SHA256SUMS", "B2SUMS", ...) in the digest table's order, by the names as
// the table spells them; otherwise none. Touches nothing but the existence
// tests.
std::optional<std::string> CheckFileNamedBy(Env& env, const std::string& path);

}  // namespace quillora
