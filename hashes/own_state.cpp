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

bool IsOwnDigest(DigestId id) { return id == DigestId::kMd5 || id == DigestId::kSha256 || Blake2bBytesOf(id) != 0; }

OwnState StartOwn(DigestId id) {
  assert(IsOwnDigest(id));
  if (const std::size_t bytes = Blake2bBytesOf(id); bytes != 0) {
    Blake2bState blake2b;
    StartBlake2b(blake2b, bytes);
    return blake2b;
  }
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
                               [](const Sha256State&) { return DigestId::kSha256; },
                               [](const Blake2bState& blake2b) { return Blake2bOfBytes(blake2b.out_bytes); }},
                    state);
}

void FeedOwn(OwnState& state, const void* data, std::size_t count) {
  std::visit(Overloaded{[&](DigestState& md5) { FeedDigest(md5, data, count); },
                        [&](Sha256State& sha256) { FeedSha256(sha256, data, count); },
                        [&](Blake2bState& blake2b) { FeedBlake2b(blake2b, data, count); }},
             state);
}

std::uint64_t OwnFed(const OwnState& state) {
  return std::visit(Overloaded{[](const DigestState& md5) { return BytesFed(md5); },
                               [](const Sha256State& sha256) { return Sha256BytesFed(sha256); },
                               [](const Blake2bState& blake2b) { return blake2b.compressed + blake2b.held; }},
                    state);
}

std::span<const std::uint8_t> OwnCarried(const OwnState& state) {
  return std::visit(Overloaded{[](const DigestState& md5) {
                                 return std::span<const std::uint8_t>(md5.buffer, BytesFed(md5) % 64);
                               },
                               [](const Sha256State& sha256) {
                                 return std::span<const std::uint8_t>(sha256.buffer, Sha256BytesFed(sha256) % 64);
                               },
                               [](const Blake2bState& blake2b) {
                                 return std::span<const std::uint8_t>(blake2b.block, blake2b.held);
                               }},
                    state);
}

DigestValue FinishOwn(OwnState& state) {
  return std::visit(Overloaded{[](DigestState& md5) { return ValueOf(FinishDigest(md5)); },
                               [](Sha256State& sha256) { return ValueOf(FinishSha256(sha256)); },
                               [](Blake2bState& blake2b) { return ValueOf(FinishBlake2b(blake2b).view()); }},
                    state);
}

}  // namespace quillora
