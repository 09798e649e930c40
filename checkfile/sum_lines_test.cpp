#include "checkfile/sum_lines.h"

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "platform/paths.h"

namespace quillora {
namespace {

// A line as the cases below spell it: kind, layout, name and flags, each
// digest's candidates with its first four bytes, hashdeep's size.
std::string Describe(const SumLine& line) {
  if (line.kind == SumLineKind::kPassedOver) return "passed";
  if (line.kind == SumLineKind::kImproper) return "improper";
  static const char* const kLayouts[] = {"sums", "tagged", "sfv", "hashdeep", "alone", "saved"};
  std::string text = line.kind == SumLineKind::kRecord ? "record " : "unavailable ";
  std::string name;
  DecodeSumName(line, '\\', name, 0);  // a separator left as written
  text += std::string(kLayouts[static_cast<int>(line.layout)]) + " \"" + name + '"';
  text += std::string(line.escaped ? " esc" : "") + (line.native ? " native" : "") + (line.absolute ? " abs" : "");
  if (!line.unavailable.empty()) text += ' ' + line.unavailable;
  for (const ExpectedDigest& digest : line.digests) {
    std::string names;
    for (DigestId id : digest.candidates) names += (names.empty() ? " " : "|") + std::string(InfoOf(id).name);
    text += names + (digest.encoding == DigestEncoding::kBase64 ? " b64 " : " ") + HexText(digest.value).substr(0, 8);
  }
  if (line.size) text += " size " + std::to_string(*line.size);
  return text;
}

struct Case {
  const char* file_name;  // the check file's, for the digests it implies
  std::vector<std::pair<std::string, std::string>> lines;  // each line read in turn, and what it reads as
};

// Lines written by the tools themselves (coreutils 9.1, b2sum, cksum and its
// own tests' base64 output, OpenSSL 3.0, rhash 1.4.3, hashdeep 4.4), then
// lines no tool should be taken to have written.
const Case kCases[] = {
    {"SHA256SUMS",
     {{"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad  abc", "record sums \"abc\" SHA-256 ba7816bf"},
      {"a9993e364706816aba3e25717850c26c9cd0d89d *abc", "improper"},
      {"SHA1(abc)= a9993e364706816aba3e25717850c26c9cd0d89d", "record tagged \"abc\" SHA-1 a9993e36"},
      {"  \t", "passed"}}},
    {"MD5SUMS",
     {{"\\9dd4e461268c8034f5c8564e155c67a6  new\\nline", "record sums \"new\nline\" esc MD5 9dd4e461"},
      {"\\415290769594460e2e485922904f345d  back\\\\slash", "record sums \"back\\slash\" esc MD5 41529076"},
      {"fbade9e36a3f36d3d676c1b808451dd7   lead", "record sums \" lead\" MD5 fbade9e3"},
      {"\\MD5 (back\\\\slash) = 415290769594460e2e485922904f345d", "record tagged \"back\\slash\" esc MD5 41529076"},
      {"900150983cd24fb0d6963f7d28e17f72  /tmp/lines/abc", "record sums \"/tmp/lines/abc\" abs MD5 90015098"},
      {"900150983cd24fb0d6963f7d28e17f72 *C:\\disc.iso", "record sums \"C:\\disc.iso\" abs MD5 90015098"},
      {"  900150983CD24FB0D6963F7D28E17F72  sub\\abc", "record sums \"sub\\abc\" MD5 90015098"},
      {"\\d41d8cd98f00b204e9800998ecf8427e  bad\\qescape", "improper"},
      {"\\d41d8cd98f00b204e9800998ecf8427e  trailing\\", "improper"},
      {"d41d8cd98f00b204e9800998ecf8427e  ", "improper"},
      {"d41d8cd98f00b204e9800998ecf8427e one-blank", "improper"}}},
    // md5 -r's one-blank form, settled by the first line: a mode mark is then part of the name.
    // Its name implies no digest: every digest of a line's length may be its.
    {"checksums.txt",
     {{"d41d8cd98f00b204e9800998ecf8427e empty", "record sums \"empty\" MD5|BLAKE2b-128 d41d8cd9"},
      {"d41d8cd98f00b204e9800998ecf8427e  two", "record sums \" two\" MD5|BLAKE2b-128 d41d8cd9"},
      {"d41d8cd98f00b204e9800998ecf8427e\t*star", "record sums \"*star\" MD5|BLAKE2b-128 d41d8cd9"},
      {"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad abc",
       "record sums \"abc\" SHA-256|SHA-512/256|SHA3-256|BLAKE2b-256|BLAKE2s-256|SM3 ba7816bf"},
      {"23097d223405d8228642a477bda255b32aadbce4bda0b3f7e36c9da7 abc",
       "record sums \"abc\" SHA-224|SHA-512/224|SHA3-224|BLAKE2b-224 23097d22"},
      {"0badf00d 12345678", "record sums \"12345678\" BLAKE2b-32|CRC-32 0badf00d"},
      {"6b abc", "record sums \"abc\" BLAKE2b-8 6b"},
      {"abc 352441C2", "record sfv \"abc\" CRC-32 352441c2"}}},
    {"B2SUMS",
     {{"ba80a53f981c4d0d6a2797b69f12f6e94c212f14685ac4b74b12bb6fdbffa2d17d87c5392aab792dc252d5de"
       "4533cc9518d38aa8dbf1925ab92386edd4009923  abc",
       "record sums \"abc\" BLAKE2b-512 ba80a53f"},
      {"bddd813c634239723171ef3fee98579b94964e3bb1cb3e427262c8c068d52319  a", "record sums \"a\" BLAKE2b-256 bddd813c"},
      {"cf4ab791c62b8d2b2109c90275287816  abc", "record sums \"abc\" BLAKE2b-128 cf4ab791"},
      {"6b  abc", "record sums \"abc\" BLAKE2b-8 6b"},
      {"eb5324bb0b0f9ca27381f22f5e49604d7c341b77371fe5bf61fb643c8ab481c7555ef17c9b9e7c92f0daafff6c0d748cab97d2b267bf53"
       "f8225c173ea26f3e  abc",
       "record sums \"abc\" BLAKE2b-504 eb5324bb"},
      {"BLAKE2b-160 (abc) = 384264f676f39536840523f284921cdc68b6846b", "record tagged \"abc\" BLAKE2b-160 384264f6"},
      {"BLAKE2b-128 (abc) = cf4ab791c62b8d2b2109c90275287816", "record tagged \"abc\" BLAKE2b-128 cf4ab791"},
      {"BLAKE2b-8 (abc) = 6b", "record tagged \"abc\" BLAKE2b-8 6b"},
      {"BLAKE2b-520 (abc) = 6b", "unavailable tagged \"abc\" BLAKE2b-520"},
      {"6  abc", "improper"}}},
    {"CHECKSUM",
     {{"SHA256 (abc) = ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
       "record tagged \"abc\" SHA-256 ba7816bf"},
      {"SHA2-512/256(abc)= 53048e2681941ef99b2e29b76b4c7dabe4c2d0c634fc6d46e0e2f13107e7af23",
       "record tagged \"abc\" SHA-512/256 53048e26"},
      {"SM3(a)= 66c7f0f462eeedd9d1f2d46bdc10e4e24167c4875cf2f7a2297da02b8f4ba8e0", "record tagged \"a\" SM3 66c7f0f4"},
      {"MD5   (abc) = 900150983cd24fb0d6963f7d28e17f72", "record tagged \"abc\" MD5 90015098"},
      {"BLAKE2s (x (1)) = 508c5e8c327c14e2e1a72ba34eeb452f37458b209ed63a294d999b4c86675982",
       "record tagged \"x (1)\" BLAKE2s-256 508c5e8c"},
      {"MD4   (abc) = a448017aaf21d8525fc10ae87aa6729d", "unavailable tagged \"abc\" MD4"},
      {"CRC32C (abc) = 364b3fb7", "unavailable tagged \"abc\" CRC32C"},
      {"SHA256 (abc) = ba7816bf", "improper"},
      {"SHA512 (f) = z4PhNX7vuL3xVChQ1m2AB9Yg5AULVxXcg/SpIdNs6c5H0NE8XYXysP+DGNKHfuwvY7kxvUdBeoGlODJ6+SfaPg==",
       "record tagged \"f\" SHA-512 b64 cf83e135"},
      {"SHA3-512 (f) = pp9zzKI6msXItWfcGFp1bpfJghZP4lhZ4NHcwUdcgKYVshI68fX5TBHj6UAsOsVY9QAZnZW20+MBdYWGKB3NJg==",
       "record tagged \"f\" SHA3-512 b64 a69f73cc"},
      {"SM3 (f) = GrIdg1XPoX+OYRlIMegajyK+yMco/vt0ftA161CCqis=", "record tagged \"f\" SM3 b64 1ab21d83"},
      {"2jmj7l5rSw0yVb/vlWAYkK/YBwk=  f", "record sums \"f\" SHA-1|BLAKE2b-160 b64 da39a3ee"},
      {"OLBgp1GsljhM2TJ+sbHjaiH9txEUvgdDTAzHv2P24donTt6/529l+9Ua0vFImLlb  f",
       "record sums \"f\" SHA-384|SHA3-384|BLAKE2b-384 b64 38b060a7"}}},
    // 64 hexadecimal digits are base64 where only a 48-byte digest may stand.
    {"SHA384SUMS",
     {{"9bccfdc6185ef0c6d0e47a4c87d4e8c7b44c8e5bd68ab8a5f0e15d3d9d64b8b6  f",
       "record sums \"f\" SHA-384 b64 f5b71c7d"}}},
    {"x.sfv",
     {{"; Generated by RHash v1.4.3 on 2026-12-07 at 20:55.13", "passed"},
      {"a b.txt 363A3020", "record sfv \"a b.txt\" CRC-32 363a3020"},
      {"0badf00d 12345678", "record sfv \"0badf00d\" CRC-32 12345678"},
      {"CRC32 (abc) = 352441c2", "record tagged \"abc\" CRC-32 352441c2"},
      {"CRC32C (abc) = 364b3fb7", "unavailable tagged \"abc\" CRC32C"},
      {"abc 352441C", "improper"}}},
    {"audit.txt",
     {{"%%%% HASHDEEP-1.0", "passed"},
      {"%%%% size,md5,sha256,filename", "passed"},
      {"## Invoked from: /tmp/tt", "passed"},
      {"3,900150983cd24fb0d6963f7d28e17f72,ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad,a,b",
       "record hashdeep \"a,b\" MD5 90015098 SHA-256 ba7816bf size 3"},
      {"6,b1946ac92492d2347c6235b4d2611184,5891b5b522d5df086d0ff0b110fbd9d21bb4fc7163af34d08286a2e846f6be03,/t/a b.txt",
       "record hashdeep \"/t/a b.txt\" abs MD5 b1946ac9 SHA-256 5891b5b5 size 6"},
      {"x,900150983cd24fb0d6963f7d28e17f72,ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad,abc",
       "improper"},
      {"%%%% size,tiger,filename", "passed"},
      {"3,2aab1484e8c158f2bfb8c5ff41b57a525129131c957b5f93,abc", "unavailable hashdeep \"abc\" tiger size 3"}}},
    {"disc.iso.sha256",
     {{"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", "record alone \"\" SHA-256 ba7816bf"}}},
    {"disc.iso.b2", {{"cf4ab791c62b8d2b2109c90275287816", "record alone \"\" BLAKE2b-128 cf4ab791"}}},
    {"SM3SUMS",
     {{"66c7f0f462eeedd9d1f2d46bdc10e4e24167c4875cf2f7a2297da02b8f4ba8e0  a", "record sums \"a\" SM3 66c7f0f4"}}},
    // A saved list, as the window's "Save" and quillora-cli hash write it.
    {"list.txt",
     {{"/home/u/a b.txt     900150983cd24fb0d6963f7d28e17f72",
       "record saved \"/home/u/a b.txt\" native abs MD5 90015098"},
      {"data/tab\there      900150983cd24fb0d6963f7d28e17f72", "record saved \"data/tab\there \" native MD5 90015098"},
      {"data/back\\slash     900150983cd24fb0d6963f7d28e17f72",
       "record saved \"data/back\\slash\" native MD5 90015098"},
      {"data/a     Could not open file", "improper"},
      {"data/a    900150983cd24fb0d6963f7d28e17f72", "improper"}}},
    {"SHA256SUMS", {{"data/a     900150983cd24fb0d6963f7d28e17f72", "improper"}}},
};

// A saved list's line that starts with "\\" holds an escaped path where "\\"
// is no separator: quillora-cli hash escapes a name with a line break so.
TEST(SumLines, ASavedListLineIsEscapedOnlyWhereABackslashIsNoSeparator) {
  SumLineParser parser;
  SumLine line;
  parser.Parse("\\data/x\\ny     900150983cd24fb0d6963f7d28e17f72", line);
  std::string name;
  DecodeSumName(line, '/', name, 0);
  if (kPathSeparator == '\\') {
    EXPECT_TRUE(line.native && line.absolute);
    EXPECT_EQ(name, "\\data/x\\ny");
  } else {
    EXPECT_TRUE(line.escaped && !line.native);
    EXPECT_EQ(name, "data/x\ny");
  }
}

TEST(SumLines, RealLinesOfEachLayout) {
  for (const Case& c : kCases) {
    SumLineParser parser(DigestsByFileName(c.file_name));
    SumLine line;
    for (const auto& [text, expected] : c.lines) {
      parser.Parse(text, line);
      EXPECT_EQ(Describe(line), expected) << c.file_name << ": " << text;
    }
  }
}

}  // namespace
}  // namespace quillora
