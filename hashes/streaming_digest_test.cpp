#include "hashes/streaming_digest.h"

#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gcrypt.h>
#include <gtest/gtest.h>

#include "testing/child_process.h"
#include "testing/posix_only.h"
#include "testing/temp_tree.h"

namespace quillora {
namespace {

using enum DigestId;

std::string Hex(DigestId id, std::string_view message) { return HexText(DigestOfBytes(id, message)); }

// Every BLAKE2b length, 8 to 512 bits.
const DigestSet kBlake2b = *DigestsByCksumName("blake2b");

// The known answers of each digest's standard: FIPS 180-4 ("abc" and the
// two-block messages), FIPS 202, RFC 7693 (BLAKE2b-512, BLAKE2s-256), GB/T
// 32905 (SM3), RFC 1321, the CRC-32 check value; three shorter BLAKE2b
// lengths from Python's hashlib (every length is b2sum's below).
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
  EXPECT_EQ(tested | kBlake2b, DigestSet::All()) << "every digest of the table has a known answer";
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

// libgcrypt has four of BLAKE2b's lengths: random messages, fed in random
// pieces, all four in one pass, give its digests, on each kernel this CPU
// has.
TEST(StreamingDigest, Blake2bAgreesWithLibgcrypt) {
  const std::pair<DigestId, int> lengths[] = {{kBlake2b160, GCRY_MD_BLAKE2B_160},
                                              {kBlake2b256, GCRY_MD_BLAKE2B_256},
                                              {kBlake2b384, GCRY_MD_BLAKE2B_384},
                                              {kBlake2b512, GCRY_MD_BLAKE2B_512}};
  DigestSet four;
  for (const auto& [id, algorithm] : lengths) four.insert(id);
  (void)DigestOfBytes(kSha256, "");  // sets libgcrypt up, as the first of its digests does
  std::mt19937 random(17);
  for (const Blake2bKernel kernel : {Blake2bKernel::kPortable, Blake2bKernel::kAvx2}) {
    if (!ForceBlake2bKernel(kernel)) continue;
    for (unsigned trial = 0; trial < 300; ++trial) {
      // Block edges half the time, any length else.
      const std::size_t blocks = random() % 20, length = trial % 2 ? blocks * 128 + random() % 3 : random() % 5000;
      const std::string message = testing::RandomBytes(length, trial);
      StreamingDigest together(four);
      for (std::size_t at = 0, piece; at < message.size(); at += piece) {
        piece = std::min<std::size_t>(random() % 700, message.size() - at);  // empty pieces too
        together.Update(message.data() + at, piece);
      }
      together.Finish();
      for (const auto& [id, algorithm] : lengths) {
        DigestValue theirs;
        theirs.size = InfoOf(id).size;
        gcry_md_hash_buffer(algorithm, theirs.bytes.data(), message.data(), message.size());
        ASSERT_EQ(together.Value(id), theirs) << InfoOf(id).name << " of " << length << " bytes, trial " << trial;
      }
    }
  }
  ClearForcedBlake2bKernel();
}

// Every length b2sum -l takes, all 64 in one pass, over messages on each
// side of the block edge: b2sum's digests.
TEST(StreamingDigest, Blake2bOfEveryLengthIsB2sums) {
  SKIP_WITHOUT_POSIX("coreutils' b2sum");
#ifndef _WIN32
  const std::string b2sum = "/usr/bin/b2sum";
  if (!std::filesystem::exists(b2sum)) GTEST_SKIP() << "no " << b2sum;
  testing::TempTree tree;
  const std::string capture = tree.Folder("capture");
  const std::string random = testing::RandomBytes(1000, 3);
  const std::vector<std::string> messages = {"", "abc", random.substr(0, 128), random.substr(0, 129), random};
  std::vector<std::string> files;
  std::vector<StreamingDigest> ours;
  for (std::size_t i = 0; i < messages.size(); ++i) {
    files.push_back(tree.Write("m" + std::to_string(i), messages[i]));
    StreamingDigest& digest = ours.emplace_back(kBlake2b);
    digest.Update(messages[i].data(), messages[i].size());
    digest.Finish();
  }
  for (std::size_t bytes = 1; bytes <= kLongestBlake2b; ++bytes) {
    std::vector<std::string> args = {"-l", std::to_string(8 * bytes)};
    args.insert(args.end(), files.begin(), files.end());
    const testing::ChildRun run = testing::RunChild(b2sum, args, capture);
    ASSERT_EQ(run.status, 0) << run.err;
    std::istringstream lines(run.out);
    for (std::size_t i = 0; i < files.size(); ++i) {
      std::string hex, path;
      lines >> hex >> path;
      EXPECT_EQ(hex, HexText(ours[i].Value(Blake2bOfBytes(bytes))))
          << "b2sum -l " << 8 * bytes << " of " << messages[i].size() << " bytes";
    }
  }
#endif
}

}  // namespace
}  // namespace quillora
