#include "signatures/signature_check.h"

#include <stdlib.h>

#include <cerrno>
#include <memory>

#include <gtest/gtest.h>

#include "platform/errors.h"
#include "signatures/gpg_status.h"
#include "testing/fault_env.h"
#include "testing/posix_only.h"
#include "testing/string_stream.h"
#include "testing/temp_tree.h"
#ifndef _WIN32
#include "testing/gnupg_keys.h"
#endif

namespace quillora {
namespace {

using testing::TempTree;

const std::string kSums = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad  a\n"
                          "3a985da74fe225b2045c172d6bd390bd855f086e3e9d525b46bfe24511431532  b\n";

// The finding on the check file at path, read as the verify reads it; the
// stream must be back at its start afterwards.
SignatureFinding Check(Env& env, const std::string& path) {
  std::unique_ptr<Stream> stream = env.OpenTextForReading(path);
  const SignatureFinding finding = CheckSignature(env, path, *stream);
  EXPECT_EQ(stream->Position(), 0) << path;
  return finding;
}

TEST(ClearSignedScanTest, FindsTheArmourLineAnywhere) {
  const std::string armour = "-----BEGIN PGP SIGNED MESSAGE-----";
  const struct {
    std::string text;
    bool held;
  } cases[] = {
      {armour + "\nHash: SHA256\n", true},
      {armour, true},
      {"some words first\r\n" + armour + " \t\r\n", true},
      {std::string(200000, 'x') + "\n" + armour + "\n", true},  // past the first blocks
      {"x" + armour + "\n", false},
      {armour + "x\n", false},
      {"-----BEGIN PGP SIGNATURE-----\n", false},
      {kSums, false},
      {"", false},
  };
  for (const auto& c : cases) {
    for (const std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{1} << 20}) {
      testing::StringStream stream(c.text, piece);
      EXPECT_EQ(HoldsClearSignedMessage(stream), c.held) << c.text.substr(0, 60) << " in pieces of " << piece;
    }
  }
  testing::StringStream failing(std::string(100, 'x'), 16, 50);
  EXPECT_THROW(HoldsClearSignedMessage(failing), IoError);
}

#ifdef _WIN32
// Under Wine, and on a Windows without Gpg4win, there is no gpg.exe to ask.
TEST(SignatureCheckTest, SaysWhenGnuPGIsNotInstalled) {
  TempTree tree;
  const std::string path =
      tree.Write("SUMS", "-----BEGIN PGP SIGNED MESSAGE-----\nHash: SHA256\n\n" + kSums +
                             "-----BEGIN PGP SIGNATURE-----\n\nxyz\n-----END PGP SIGNATURE-----\n");
  const SignatureFinding finding = Check(Env::Default(), path);
  if (finding.state != SignatureState::kNoGnuPG) GTEST_SKIP() << "Gpg4win is installed here";
  EXPECT_EQ(SignatureLines(finding),
            std::vector<std::string>{"GnuPG is not installed (Gpg4win): the check file's signature was not checked."});
  EXPECT_FALSE(finding.Fails());
}
#else
using Key = testing::GnuPGKeys::Key;

class SignatureCheckTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    keys = new testing::GnuPGKeys;
    ::setenv("GNUPGHOME", keys->user_home().c_str(), 1);
  }
  static void TearDownTestSuite() {
    ::unsetenv("GNUPGHOME");
    delete keys;
    keys = nullptr;
  }
  void SetUp() override {
    if (!keys->ok()) GTEST_SKIP() << "the test keys could not be made";
  }

  // What GPGME found must be what gpg's own status lines say.
  void ExpectGpgAgrees(const SignatureFinding& finding, const std::string& check_file, const std::string& signature,
                       const std::string& name) {
    const bool clear_signed = signature.empty();
    const std::string status =
        clear_signed ? keys->StatusOfVerify(check_file) : keys->StatusOfVerify(signature, check_file);
    EXPECT_EQ(FindingOfStatusLines(status, clear_signed, signature), finding) << name << "\n" << status;
  }

  static testing::GnuPGKeys* keys;
  TempTree tree;
};
testing::GnuPGKeys* SignatureCheckTest::keys = nullptr;

TEST_F(SignatureCheckTest, EachKindOfSignature) {
  const std::string signed_by_trusted = keys->ClearSigned(Key::kTrusted, kSums);
  std::string tampered = signed_by_trusted;
  tampered.replace(tampered.find("ba7816bf"), 8, "ca7816bf");
  std::string damaged = signed_by_trusted;
  damaged.replace(damaged.find("-----END PGP SIGNATURE-----") - 20, 8, "AAAAAAAA");
  const struct {
    const char* name;
    std::string check_file;
    std::string signature_suffix;  // a signature file beside it; none when empty
    std::string signature;
    SignatureState state;
    Key signer;
    bool certified = false;
    bool key_expired = false;
  } cases[] = {
      {"good", signed_by_trusted, "", "", SignatureState::kGood, Key::kTrusted, true},
      {"good, after lines outside it", "Here are the sums.\n" + signed_by_trusted, "", "", SignatureState::kGood,
       Key::kTrusted, true},
      {"good, after a byte-order mark", "\xEF\xBB\xBF" + signed_by_trusted, "", "", SignatureState::kGood,
       Key::kTrusted, true},
      {"good, key of unknown validity", keys->ClearSigned(Key::kUntrusted, kSums), "", "", SignatureState::kGood,
       Key::kUntrusted},
      {"tampered", tampered, "", "", SignatureState::kBad, Key::kTrusted},
      {"damaged signature", damaged, "", "", SignatureState::kBad, Key::kTrusted},
      {"unknown key", keys->ClearSigned(Key::kStranger, kSums), "", "", SignatureState::kKeyMissing, Key::kStranger},
      {"detached .gpg", kSums, ".gpg", keys->DetachedSignature(Key::kTrusted, kSums, false), SignatureState::kGood,
       Key::kTrusted, true},
      {"detached .sig", kSums, ".sig", keys->DetachedSignature(Key::kTrusted, kSums, false), SignatureState::kGood,
       Key::kTrusted, true},
      {"detached .sign", kSums, ".sign", keys->DetachedSignature(Key::kUntrusted, kSums, true), SignatureState::kGood,
       Key::kUntrusted},
      {"detached .asc", kSums, ".asc", keys->DetachedSignature(Key::kTrusted, kSums, true), SignatureState::kGood,
       Key::kTrusted, true},
      {"detached, tampered", kSums + "\n", ".sig", keys->DetachedSignature(Key::kTrusted, kSums, false),
       SignatureState::kBad, Key::kTrusted},
      {"detached, unknown key", kSums, ".asc", keys->DetachedSignature(Key::kStranger, kSums, true),
       SignatureState::kKeyMissing, Key::kStranger},
      {"expired key", keys->ClearSigned(Key::kExpired, kSums), "", "", SignatureState::kGood, Key::kExpired, false,
       true},
      {"revoked key", keys->ClearSigned(Key::kRevoked, kSums), "", "", SignatureState::kKeyRevoked, Key::kRevoked},
      {"expired signature",
       keys->ClearSigned(Key::kTrusted, kSums, {"--faked-system-time=20200101T010000", "--default-sig-expire=1d"}),
       "", "", SignatureState::kSignatureExpired, Key::kTrusted},
      {"another tool's .sig", kSums, ".sig", "untrusted comment: verify with signify\nRWQ=\n",
       SignatureState::kNotChecked, Key::kTrusted},
      {"no signature", kSums, "", "", SignatureState::kNone, Key::kTrusted},
  };
  int folder = 0;
  for (const auto& c : cases) {
    const std::string path = tree.Write(std::to_string(++folder) + "/SHA256SUMS", c.check_file);
    const std::string signature = c.signature_suffix.empty() ? "" : path + c.signature_suffix;
    if (!signature.empty()) tree.Write(std::to_string(folder) + "/SHA256SUMS" + c.signature_suffix, c.signature);
    const SignatureFinding finding = Check(Env::Default(), path);
    EXPECT_EQ(finding.state, c.state) << c.name;
    EXPECT_EQ(finding.key_certified, c.certified) << c.name;
    EXPECT_EQ(finding.key_expired, c.key_expired) << c.name;
    if (c.state == SignatureState::kGood || c.state == SignatureState::kKeyMissing ||
        c.state == SignatureState::kKeyRevoked || c.state == SignatureState::kSignatureExpired) {
      EXPECT_EQ(finding.fingerprint, keys->Fingerprint(c.signer)) << c.name;
    }
    if (c.state == SignatureState::kGood || c.state == SignatureState::kKeyRevoked) {
      EXPECT_EQ(finding.signer, testing::GnuPGKeys::UserId(c.signer)) << c.name;
    }
    // gpg takes no byte-order mark before the armour: it is asked of the
    // bytes after it, as the check asks it.
    const std::string for_gpg = c.check_file.starts_with("\xEF\xBB\xBF")
                                    ? tree.Write(std::to_string(folder) + "/without-mark", c.check_file.substr(3))
                                    : path;
    if (c.state != SignatureState::kNone) ExpectGpgAgrees(finding, for_gpg, signature, c.name);
  }
}

// The first signature file there is the one checked, whatever comes after it.
TEST_F(SignatureCheckTest, TakesTheFirstSignatureFileBesideIt) {
  const std::string path = tree.Write("SHA256SUMS", kSums);
  tree.Write("SHA256SUMS.sign", keys->DetachedSignature(Key::kTrusted, kSums, false));
  tree.Write("SHA256SUMS.asc", keys->DetachedSignature(Key::kStranger, kSums, true));
  EXPECT_EQ(Check(Env::Default(), path).state, SignatureState::kGood);
  tree.Write("SHA256SUMS.gpg", keys->DetachedSignature(Key::kRevoked, kSums, false));
  EXPECT_EQ(Check(Env::Default(), path).state, SignatureState::kKeyRevoked);
}

// GnuPG reads the bytes the verify's stream holds, not the file at the path:
// what was checked is what the records are read from.
TEST_F(SignatureCheckTest, ChecksTheStreamNotThePath) {
  const std::string path = tree.Write("SHA256SUMS", kSums);
  tree.Write("SHA256SUMS.sig", keys->DetachedSignature(Key::kTrusted, kSums, false));
  MemoryStream other("0000000000000000000000000000000000000000000000000000000000000000  a\n");
  EXPECT_EQ(CheckSignature(Env::Default(), path, other).state, SignatureState::kBad);
  MemoryStream same(kSums);
  EXPECT_EQ(CheckSignature(Env::Default(), path, same).state, SignatureState::kGood);
  EXPECT_EQ(same.Position(), 0);
  // Standard input has no folder to hold a signature file.
  MemoryStream unsigned_input(kSums);
  EXPECT_EQ(CheckSignature(Env::Default(), "", unsigned_input).state, SignatureState::kNone);
}

// A stream that fails once GnuPG reads it, after the look for the armour.
class FailsWhenReadAgain : public MemoryStream {
 public:
  using MemoryStream::MemoryStream;
  bool Seek(std::int64_t position) override {
    ++seeks_;
    return MemoryStream::Seek(position);
  }
  std::int64_t Read(void* buffer, std::size_t n) override {
    if (seeks_ > 0) return -1;
    return MemoryStream::Read(buffer, n);
  }
  int last_error() const override { return EIO; }

 private:
  int seeks_ = 0;
};

TEST_F(SignatureCheckTest, ACheckFileThatCannotBeReadRaises) {
  FailsWhenReadAgain clear_signed(keys->ClearSigned(Key::kTrusted, kSums));
  EXPECT_THROW(CheckSignature(Env::Default(), tree.Write("SUMS", ""), clear_signed), IoError);
  const std::string path = tree.Write("SHA256SUMS", kSums);
  tree.Write("SHA256SUMS.sig", keys->DetachedSignature(Key::kTrusted, kSums, false));
  FailsWhenReadAgain detached(kSums);
  EXPECT_THROW(CheckSignature(Env::Default(), path, detached), IoError);
}

// A signature file that cannot be read leaves the signature unchecked, and
// says why; the verify goes on as without one. (Root reads any file: the
// faults come from the fault Env.)
TEST_F(SignatureCheckTest, ASignatureFileThatCannotBeReadIsNamed) {
  const std::string path = tree.Write("SHA256SUMS", kSums);
  const std::string signature = tree.Write("SHA256SUMS.sig", keys->DetachedSignature(Key::kTrusted, kSums, false));
  testing::FaultEnv refusing;
  refusing.open_errors[signature] = EACCES;
  EXPECT_EQ(Check(refusing, path),
            (SignatureFinding{.state = SignatureState::kNotChecked,
                              .problem = "\"" + signature + "\" cannot be read: Permission denied"}));
  testing::FaultEnv failing;
  failing.texts[signature] = std::string(200, 'x');
  failing.text_read_fails_at = 100;
  EXPECT_EQ(Check(failing, path),
            (SignatureFinding{.state = SignatureState::kNotChecked,
                              .problem = "\"" + signature + "\" cannot be read: Input/output error"}));
  ::mkfifo(tree.At("FIFOSUMS.sig").c_str(), 0600);
  EXPECT_EQ(Check(Env::Default(), tree.Write("FIFOSUMS", kSums)).state, SignatureState::kNotChecked);
}
#endif

}  // namespace
}  // namespace quillora
