#include "cli/digest_choice.h"

namespace quillora::cli {
namespace {

// The digests -a and -l name; problem set when they name none.
DigestSet Named(const Invocation& invocation, std::string& problem) {
  const std::optional<DigestSet> digests = DigestsByCksumName(invocation.algorithm, invocation.length_bits);
  if (!digests) {
    problem = "invalid algorithm '" + invocation.algorithm + "'";
  } else if (digests->empty()) {
    problem = invocation.algorithm + " has no " + std::to_string(invocation.length_bits) + "-bit digest here";
  }
  return digests.value_or(DigestSet{});
}

}  // namespace

std::optional<WrittenLayout> LayoutToWrite(const Invocation& invocation, std::string& problem) {
  if (invocation.length_bits != 0 && invocation.algorithm.empty()) return problem = "-l needs -a", std::nullopt;
  DigestId digest = DigestId::kMd5;
  if (!invocation.algorithm.empty()) {
    const DigestSet named = Named(invocation, problem);
    if (named.empty()) return std::nullopt;
    // A family without -l: b2sum's way, its longest member; sha2 and sha3
    // have no default length.
    if (named.size() > 1 && InfoOf(*named.begin()).any_length_family.empty())
      return problem = invocation.algorithm + " needs -l", std::nullopt;
    for (const DigestId id : named) digest = id;
  }
  if (digest == DigestId::kCrc32) return problem = "crc32b is read from .sfv files, not written", std::nullopt;
  if (invocation.tag && invocation.mode_mark == ' ') {
    return problem = "--tag does not support --text mode", std::nullopt;
  }
  // A mode mark is the sums layout's own.
  const bool sums = invocation.md5sum_format || invocation.tag || digest != DigestId::kMd5 || invocation.mode_mark != 0;
  WrittenLayout layout(sums ? CheckFileLayout::kMd5sum : CheckFileLayout::kQuillora, digest, invocation.tag);
  layout.binary = invocation.mode_mark == '*';
  layout.nul_ended = invocation.nul_ended;
  return layout;
}

DigestSet DigestsToVerify(const Invocation& invocation, std::string& problem) {
  if (invocation.algorithm.empty()) {
    if (invocation.length_bits != 0) problem = "-l needs -a";
    return {};
  }
  return Named(invocation, problem);
}

std::string DigestTypeName(DigestSet digests) {
  if (digests.empty()) return "MD5";
  std::string_view name;
  for (const DigestId id : digests) {
    const DigestInfo& info = InfoOf(id);
    const std::string_view own = info.any_length_family.empty() ? FirstWord(info.tags) : info.any_length_family;
    if (!name.empty() && own != name) return "";
    name = own;
  }
  return std::string(name);
}

}  // namespace quillora::cli
