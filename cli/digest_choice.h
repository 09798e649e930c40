// Which digest and layout -a, -l, --tag and --format ask for.
#pragma once

#include <optional>
#include <string>

#include "checkfile/check_file_format.h"
#include "cli/arguments.h"
#include "hashes/digest_table.h"

namespace quillora::cli {

// What make and hash write: Quillora's layout (MD5 alone), or the sums
// layout of the digest -a (and -l) name, tagged with --tag, marked as -b or
// -t ask; md5sum's own with --format md5sum, -b or -t alone. Lines end with
// NUL with -z. Sets problem, for a usage error, when they do not fit.
std::optional<WrittenLayout> LayoutToWrite(const Invocation& invocation, std::string& problem);

// The digests verify is told every line holds (-a, -l); empty when not told.
// Sets problem when they name none.
DigestSet DigestsToVerify(const Invocation& invocation, std::string& problem);

// The digest a warning about a check file's line names, as md5sum and its
// kin name theirs ("SHA256", "BLAKE2b"): of those -a fixed or the check
// file's name implies (digests), their one tag; MD5, the program's own, when
// neither says; empty when they are several.
std::string DigestTypeName(DigestSet digests);

}  // namespace quillora::cli
