// Throwaway OpenPGP keys for the signature tests, made by the real gpg in
// keyrings of their own below a temporary folder, never the user's: a
// publisher's keyring that signs, another signer's, and the keyring that
// verifies (user_home(), to be the GNUPGHOME of what is under test). POSIX
// only: it runs gpg and gpgconf from the PATH.
#pragma once

#include <string>
#include <vector>

#include "testing/temp_tree.h"

namespace quillora::testing {

class GnuPGKeys {
 public:
  // The signers, each with its own key, as the verifying keyring holds them.
  enum class Key {
    kTrusted,    // imported and of ultimate trust there
    kUntrusted,  // imported, certified by no trusted key: of unknown validity
    kExpired,    // made in 2019 to expire a day later
    kRevoked,    // imported with its revocation
    kStranger,   // not in the verifying keyring at all
  };

  // Makes every key (a few seconds); a failed gpg fails the test, and ok()
  // is then false.
  GnuPGKeys();
  // Ends the gpg-agent of each keyring it started, and removes them all.
  ~GnuPGKeys();
  GnuPGKeys(const GnuPGKeys&) = delete;
  GnuPGKeys& operator=(const GnuPGKeys&) = delete;

  bool ok() const { return ok_; }
  const std::string& user_home() const { return user_home_; }
  // The key's primary fingerprint, 40 hexadecimal digits in capitals.
  std::string Fingerprint(Key key) const;
  // Its user ID, "Name <mail>".
  static std::string UserId(Key key);

  // text clear-signed by key; extra options go to gpg ("--faked-system-time",
  // "--default-sig-expire"). An expired key signs at its own time, in 2019.
  std::string ClearSigned(Key key, const std::string& text, const std::vector<std::string>& extra = {});
  // A detached signature of text by key, binary or armoured.
  std::string DetachedSignature(Key key, const std::string& text, bool armoured);

  // What gpg --status-fd says when it verifies, in the verifying keyring, the
  // file signed (clear-signed), or the signature file against data.
  std::string StatusOfVerify(const std::string& signed_file, const std::string& data = "");

 private:
  // gpg's standard output, or "gpg failed (STATUS): " and what it said.
  std::string Run(const std::string& home, const std::vector<std::string>& args);

  TempTree tree_;
  std::string publisher_home_, stranger_home_, user_home_;
  std::string fingerprints_[5];
  bool ok_ = true;
  int files_ = 0;
};

}  // namespace quillora::testing
