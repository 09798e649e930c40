#include "hashes/own_state.h"

#include <cassert>
#include <cstring>

namespace quillora {
namespace {

template <class... Families>
struct Overloaded : Families... {
  using Families::operator()...;
};
template <class... Families>
Overloaded(Families...) -> Overloaded<Families...>;

DigestValue ValueOf(std::span<const std::uint8_t> bytes) {
  DigestValue value;
  value.size = bytes.size();
  std::memcpy(value.bytes.data(), bytes.data(), bytes.size());
  return value;
}

}  // namespace

bool IsOwnDigest(DigestId id) { return id == DigestId::kMd5 || id == DigestId::kSha256; }

OwnState StartOwn(DigestId id) {
  assert(IsOwnDigest(id));
  if (id == DigestId::kSha256) {
    Sha256State sha256;
    StartSha256(sha256);
    return sha256;
  }
  DigestState md5;
  StartDigest(md5);
  return md5;
}

DigestId DigestOfState(const OwnState& state) {
  return std::visit(Overloaded{[](const DigestState&) { return DigestId::kMd5; },
                               [](const Sha256State&) { return DigestId::kSha256; }},
                    state);
}

void FeedOwn(OwnState& state, const void* data, std::size_t count) {
  std::visit(Overloaded{[&](DigestState& md5) { FeedDigest(md5, data, count); },
                        [&](Sha256State& sha256) { FeedSha256(sha256, data, count); }},
             state);
}

std::uint64_t OwnFed(const OwnState& state) {
  return std::visit(Overloaded{[](const DigestState& md5) { return BytesFed(md5); },
                               [](const Sha256State& sha256) { return Sha256BytesFed(sha256); }},
                    state);
}

std::span<const std::uint8_t> OwnCarried(const OwnState& state) {
  return std::visit(Overloaded{[](const DigestState& md5) {
                                 return std::span<const std::uint8_t>(md5.buffer, BytesFed(md5) % 64);
                               },
                               [](const Sha256State& sha256) {
                                 return std::span<const std::uint8_t>(sha256.buffer, Sha256BytesFed(sha256) % 64);
                               }},
                    state);
}

DigestValue FinishOwn(OwnState& state) {
  return std::visit(Overloaded{[](DigestState& md5) { return ValueOf(FinishDigest(md5)); },
                               [](Sha256State& sha256) { return ValueOf(FinishSha256(sha256)); }},
                    state);
}

}  // namespace quillora
