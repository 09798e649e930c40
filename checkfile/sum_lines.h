// One line of a check file another tool wrote, read without any I/O: the
// reader (check_file_reader.h) hands over each line with its line end (LF,
// and a CR before it) cut, after clear_signed.h has taken off a PGP wrapper.
//
// The layouts, in any mix within one file:
//   DIGEST  NAME   DIGEST *NAME       the sums layout: md5sum, sha*sum, b2sum,
//                                     `cksum --untagged`; a TAB may stand for
//                                     the first blank
//   DIGEST NAME                       its one-blank form (BSD `md5 -r`)
//   TAG (NAME) = DIGEST               coreutils' --tag and cksum, rhash --bsd
//                                     (blanks may pad the tag: "MD5   (")
//   TAG(NAME)= DIGEST                 OpenSSL ("SHA2-256", "BLAKE2B-512")
//   NAME CRC32                        SFV: eight hexadecimal digits last
//   SIZE,DIGEST,...,NAME              hashdeep and md5deep audit files, under
//                                     "%%%% HASHDEEP-1.0" and a "%%%% " line
//                                     naming the columns ("size,md5,sha256,filename")
//   DIGEST                            alone, nothing after it: a sidecar file's
//                                     ("disc.iso.sha256")
//   PATH     DIGEST                   a saved digest list's row: the path, five
//                                     blanks, 32 hexadecimal digits (MD5), as
//                                     the window's "Save" and `quillora-cli
//                                     hash` write it; the path as it stands
//                                     (a backslash is a separator only where
//                                     the system's paths have it), or escaped
//                                     as md5sum escapes one when the line
//                                     starts with "\" where that is no
//                                     separator. Its rows "Could not open
//                                     file" are no records: improper.
// DIGEST is hexadecimal (either case) or base64 (`cksum --base64`). In the
// sums and tagged layouts, blanks before the line's first character are
// passed over, and a "\" first makes NAME escaped as md5sum escapes it:
// "\\" is a backslash, "\n" a line feed, "\r" a carriage return, any other
// "\" makes the line improper. A tagged NAME ends at the line's last ")".
// Where a line fits two layouts, a known tag wins, then (in a file whose
// name implies CRC-32) SFV, then the sums layout: "0badf00d 12345678" is the
// file 0badf00d in an SFV file, the file 12345678 elsewhere.
//
// As md5sum does, the first untagged line of the sums layout settles its
// form for the rest of the file: after a one-blank line, all that follows
// the first blank is the name (a " " or "*" there included); after a line
// with its mode mark, a one-blank line is improper.
//
// Which digests a DIGEST may be: the one its tag names; else those the check
// file's name implies, of its length; else every digest of its length
// (DigestsOfSize: 32 hexadecimal digits are MD5 or BLAKE2b-128, 8 are
// BLAKE2b-32 or CRC-32; base64 so from MD5's 16 bytes on, since a shorter
// word of letters is too often a name). Hexadecimal is read first, so 64
// hexadecimal digits are a 32-byte digest unless only a 48-byte one (base64)
// fits. A saved list's row is read before the sums layout. A tag the
// table does not know ("MD4") names a digest this program lacks
// (kUnavailable), as does a hashdeep column ("tiger").
//
// Empty lines, lines of blanks, lines whose first character is "#" or ";"
// (comments of SFV, hashdeep, md5sum), and "%%%%" header lines are passed over.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hashes/digest_table.h"
#include "hashes/digest_value.h"

namespace quillora {

enum class SumLineKind : std::uint8_t {
  kPassedOver,   // nothing to check and nothing to count
  kRecord,       // a file and what it must digest to
  kUnavailable,  // a record of a digest this program has not: never checked, counted and named
  kImproper,     // fits no layout: counted and said
};

enum class SumLayout : std::uint8_t { kSums, kTagged, kSfv, kHashdeep, kDigestOnly, kSavedList };

// One digest a record expects.
struct ExpectedDigest {
  DigestValue value;
  DigestEncoding encoding = DigestEncoding::kHex;
  DigestSet candidates;  // the digests it may be; never empty, each value.size bytes long
};

struct SumLine {
  SumLineKind kind = SumLineKind::kImproper;
  SumLayout layout = SumLayout::kSums;  // the layout of a kRecord or kUnavailable line
  // kRecord: the file matches when each entry equals the digest of one of
  // its candidates. One entry, save hashdeep's rows: one per known digest
  // column (whose candidates are that column's digest alone).
  std::vector<ExpectedDigest> digests;
  // The file the record names, as written: a view into the text Parse was
  // given, valid while that text is (DecodeSumName decodes it). Empty only
  // for kDigestOnly: the record of the file named as the check file without
  // its extension ("disc.iso" for "disc.iso.sha256").
  std::string_view name;
  // The name was written escaped: each backslash in it is a byte of the
  // name. Otherwise a backslash is a folder separator, as the Windows tools
  // write it.
  bool escaped = false;
  // Neither escaped nor another system's: the name's bytes are the path
  // here as they stand (a saved list's), each backslash kept.
  bool native = false;
  // The name is a path of its own, not below the check file's folder: it
  // starts with "/", with a backslash that is a separator, or with a drive
  // letter, ":" and a separator ("C:\disc.iso").
  bool absolute = false;
  std::optional<std::uint64_t> size;  // hashdeep's recorded size, checked too
  std::string unavailable;            // kUnavailable: the digest as the line names it ("MD4", "tiger")
};

// Writes line.name decoded into out from byte `at` on, and ends out there:
// escapes undone, or, in a name neither escaped nor native, each "\" made
// `separator`.
// line.name may lie inside out itself, at or after `at`: decoding only
// shrinks, so a long line is decoded where it stands, never copied.
void DecodeSumName(const SumLine& line, char separator, std::string& out, std::size_t at);

// Reads the lines of one check file, in order: it keeps what earlier lines
// settled (the sums layout's form, hashdeep's columns). One per file.
class SumLineParser {
 public:
  // implied: the digests the check file's name implies (DigestsByFileName),
  // or those the user named; empty when nothing does. A tag overrides it.
  explicit SumLineParser(DigestSet implied = {});

  // Reads one line into line, every member set anew (its buffers reused).
  void Parse(std::string_view text, SumLine& line);

 private:
  enum class Form : std::uint8_t { kUnsettled, kOneBlank, kModeMark };
  struct Column {
    enum class Kind : std::uint8_t { kSize, kDigest, kOther } kind;
    DigestId digest;   // kDigest's
    std::string name;  // kOther's: "tiger"
  };

  bool ReadHashdeepHeader(std::string_view text);
  bool ReadHashdeep(std::string_view text, SumLine& line) const;
  bool ReadTagged(std::string_view text, bool any_tag, SumLine& line) const;
  bool ReadSfv(std::string_view text, SumLine& line) const;
  bool ReadDigestOnly(std::string_view text, SumLine& line) const;
  bool ReadSums(std::string_view text, SumLine& line);
  bool ReadSavedList(std::string_view text, SumLine& line) const;

  DigestSet implied_;
  Form form_ = Form::kUnsettled;
  bool hashdeep_ = false;        // a "%%%% HASHDEEP-" line was met
  std::vector<Column> columns_;  // hashdeep's, before the file name; empty until named
};

}  // namespace quillora
