#include "hashes/streaming_digest.h"

#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "testing/temp_tree.h"

namespace quillora {
namespace {

using enum DigestId;

std::string Hex(DigestId id, std::string_view message) { return HexText(DigestOfBytes(id, message)); }

// The known answers of each digest's standard: FIPS 180-4 ("abc" and the
// two-block messages), FIPS 202, RFC 7693 (BLAKE2b-512, BLAKE2s-256), GB/T
// 32905 (SM3), RFC 1321, the CRC-32 check value; the shorter BLAKE2b
// lengths from Python's hashlib.
TEST(StreamingDigest, KnownAnswers) {
  const std::string m448 = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
  const std::string m896 =
      "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmno"
      "ijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu";
  const struct {
    DigestId id;
    std::string message, hex;
  } vectors[] = {
      {kMd5, "abc", "900150983cd24fb0d6963f7d28e17f72"},
      {kSha1, "abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {kSha1, m448, "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
      {kSha224, "abc", "23097d223405d8228642a477bda255b32aadbce4bda0b3f7e36c9da7"},
      {kSha224, m448, "75388b16512776cc5dba5da1fd890150b0c6455cb4f58b1952522525"},
      {kSha256, "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {kSha256, m448, "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {kSha384, "abc",
       "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca134c825a7"},
      {kSha384, m896,
       "09330c33f71147e83d192fc782cd1b4753111b173b3b05d22fa08086e3b0f712fcc7c71a557e2db966c3e9fa91746039"},
      {kSha512, "abc",
       "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
       "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f"},
      {kSha512, m896,
       "8e959b75dae313da8cf4f72814fc143f8f7779c6eb9f7fa17299aeadb6889018"
       "501d289e4900f7e4331b99dec4b5433ac7d329eeb6dd26545e96e55b874be909"},
      {kSha512_224, "abc", "4634270f707b6a54daae7530460842e20e37ed265ceee9a43e8924aa"},
      {kSha512_256, "abc", "53048e2681941ef99b2e29b76b4c7dabe4c2d0c634fc6d46e0e2f13107e7af23"},
      {kSha3_224, "abc", "e642824c3f8cf24ad09234ee7d3c766fc9a3a5168d0c94ad73b46fdf"},
      {kSha3_256, "abc", "3a985da74fe225b2045c172d6bd390bd855f086e3e9d525b46bfe24511431532"},
      {kSha3_384, "abc",
       "ec01498288516fc926459f58e2c6ad8df9b473cb0fc08c2596da7cf0e49be4b298d88cea927ac7f539f1edf228376d25"},
      {kSha3_512, "abc",
       "b751850b1a57168a5693cd924b6b096e08f621827444f70d884f5d0240d2712e"
       "10e116e9192af3c91a7ec57647e3934057340b4cf408d5a56592f8274eec53f0"},
      {kBlake2b160, "abc", "384264f676f39536840523f284921cdc68b6846b"},
      {kBlake2b256, "abc", "bddd813c634239723171ef3fee98579b94964e3bb1cb3e427262c8c068d52319"},
      {kBlake2b384, "abc",
       "6f56a82c8e7ef526dfe182eb5212f7db9df1317e57815dbda46083fc30f54ee6c66ba83be64b302d7cba6ce15bb556f4"},
      {kBlake2b512, "abc",
       "ba80a53f981c4d0d6a2797b69f12f6e94c212f14685ac4b74b12bb6fdbffa2d1"
       "7d87c5392aab792dc252d5de4533cc9518d38aa8dbf1925ab92386edd4009923"},
      {kBlake2s256, "abc", "508c5e8c327c14e2e1a72ba34eeb452f37458b209ed63a294d999b4c86675982"},
      {kSm3, "abc", "66c7f0f462eeedd9d1f2d46bdc10e4e24167c4875cf2f7a2297da02b8f4ba8e0"},
      {kCrc32, "123456789", "cbf43926"},
  };
  DigestSet tested;
  for (const auto& v : vectors) {
    EXPECT_EQ(Hex(v.id, v.message), v.hex) << InfoOf(v.id).name << " of \"" << v.message << '"';
    tested.insert(v.id);
  }
  EXPECT_EQ(tested, DigestSet::All()) << "every digest of the table has a known answer";
}

// Fed in odd pieces across block and padding edges, fed again after Start,
// computed together with every other digest in one pass, on three threads at
// once, each digest is the digest of the whole message alone.
TEST(StreamingDigest, PiecesReuseOnePassAndThreadsGiveEachDigestAlone) {
  const std::string message = testing::RandomBytes(3000, 11);
  const auto digest_twice = [&] {
    StreamingDigest together(DigestSet::All());
    for (int round = 0; round < 2; ++round) {
      together.Start();
      std::size_t at = 0;
      for (std::size_t piece = 1; at < message.size(); piece = piece * 3 % 257 + 1) {
        const std::size_t count = std::min(piece, message.size() - at);
        together.Update(message.data() + at, count);
        at += count;
      }
      together.Finish();
      for (DigestId id : DigestSet::All()) EXPECT_EQ(together.Value(id), DigestOfBytes(id, message)) << InfoOf(id).name;
    }
  };
  std::vector<std::thread> threads(3);
  for (std::thread& thread : threads) thread = std::thread(digest_twice);
  for (std::thread& thread : threads) thread.join();
}

}  // namespace
}  // namespace quillora
