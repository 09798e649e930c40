// The Windows side of the signature check, run under Wine with a stand-in
// for gpg.exe (gpg_stand_in.cpp) where the registry says GnuPG is installed:
// the look-up, the pipes and handles gpg.exe is given, and its status lines.
#include <windows.h>

#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "platform/wide_text.h"
#include "signatures/signature_check.h"
#include "testing/temp_tree.h"

namespace quillora {
namespace {

constexpr const char* kStandInFingerprint = "0123456789ABCDEF0123456789ABCDEF01234567";

// The build names the stand-in with "/"; under Wine a POSIX path is the
// same path on drive Z:.
std::string StandInPath() {
  std::string path = QUILLORA_GPG_STAND_IN;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path.starts_with('\\') ? "Z:" + path : path;
}

constexpr const wchar_t* kGnuPGKey = L"SOFTWARE\\GnuPG";

// Records tree/bin/gpg.exe as GnuPG's for this user, as its installer
// would, for the test's length; then takes the record away again, and the
// key too when it made it.
class InstalledStandIn {
 public:
  explicit InstalledStandIn(const testing::TempTree& tree) {
    std::filesystem::create_directories(WidePath(tree.At("bin")));
    std::filesystem::copy_file(WidePath(StandInPath()), WidePath(tree.At("bin/gpg.exe")));
    HKEY key = nullptr;
    key_existed_ = ::RegOpenKeyExW(HKEY_CURRENT_USER, kGnuPGKey, 0, KEY_READ, &key) == ERROR_SUCCESS;
    if (key_existed_) ::RegCloseKey(key);
    const std::wstring folder = WideFromUtf8(tree.path());
    installed_ = ::RegSetKeyValueW(HKEY_CURRENT_USER, kGnuPGKey, L"Install Directory", REG_SZ, folder.c_str(),
                                   static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  }
  ~InstalledStandIn() {
    if (key_existed_) {
      ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kGnuPGKey, L"Install Directory");
    } else {
      ::RegDeleteKeyW(HKEY_CURRENT_USER, kGnuPGKey);
    }
  }
  bool installed() const { return installed_; }

 private:
  bool key_existed_ = false;
  bool installed_ = false;
};

SignatureFinding CheckFile(const std::string& path) {
  std::unique_ptr<Stream> stream = Env::Default().OpenTextForReading(path);
  const SignatureFinding finding = CheckSignature(Env::Default(), path, *stream);
  EXPECT_EQ(stream->Position(), 0);
  return finding;
}

TEST(GnuPGWin32Test, RunsTheGpgTheRegistryNames) {
  testing::TempTree tree;
  const std::string clear_good = tree.Write("good/SUMS", "-----BEGIN PGP SIGNED MESSAGE-----\nHash: SHA256\n\n"
                                                         "stand-in: good\n-----BEGIN PGP SIGNATURE-----\n\nx\n"
                                                         "-----END PGP SIGNATURE-----\n");
  if (CheckFile(clear_good).state != SignatureState::kNoGnuPG) GTEST_SKIP() << "GnuPG is installed here";
  InstalledStandIn stand_in(tree);
  ASSERT_TRUE(stand_in.installed());
  const SignatureFinding good{.state = SignatureState::kGood, .signer = "Stand-in <stand-in@example.org>",
                              .fingerprint = kStandInFingerprint, .signed_at = 1546300800, .key_certified = true};
  EXPECT_EQ(CheckFile(clear_good), good);
  EXPECT_EQ(CheckFile(tree.Write("bad/SUMS", "-----BEGIN PGP SIGNED MESSAGE-----\n\nstand-in: bad\n")).state,
            SignatureState::kBad);
  // A detached signature goes through a handle of its own, the check file
  // through standard input: the stand-in compares the two.
  const std::string sums = std::string(200000, 's') + "\n";
  const std::string detached = tree.Write("detached/SUMS", sums);
  tree.Write("detached/SUMS.sig", sums);
  EXPECT_EQ(CheckFile(detached), good);
  MemoryStream other("another check file\n");
  EXPECT_EQ(CheckSignature(Env::Default(), detached, other).state, SignatureState::kBad);
}

}  // namespace
}  // namespace quillora
