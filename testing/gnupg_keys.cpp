#include "testing/gnupg_keys.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <sstream>

#include <gtest/gtest.h>

#include "testing/child_process.h"

extern char** environ;

namespace quillora::testing {
namespace {

// Every key exists from this day on, so it may sign on any day after.
constexpr const char* kKeysMade = "--faked-system-time=20190101T000000";
constexpr const char* kExpiredKeySigns = "--faked-system-time=20190101T010000";

std::string OnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::istringstream folders(path != nullptr ? path : "/usr/bin:/bin");
  for (std::string folder; std::getline(folders, folder, ':');) {
    const std::string candidate = folder + "/" + program;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return "/usr/bin/" + program;
}

constexpr const char* kUserIds[] = {"Trusted Signer <trusted@example.org>", "Untrusted Signer <untrusted@example.org>",
                                    "Expired Signer <expired@example.org>", "Revoked Signer <revoked@example.org>",
                                    "Stranger <stranger@example.org>"};

}  // namespace

std::string GnuPGKeys::UserId(Key key) { return kUserIds[static_cast<int>(key)]; }

std::string GnuPGKeys::Fingerprint(Key key) const { return fingerprints_[static_cast<int>(key)]; }

std::string GnuPGKeys::Run(const std::string& home, const std::vector<std::string>& args) {
  std::vector<std::string> environment;
  for (char** variable = environ; *variable != nullptr; ++variable)
    if (!std::string_view(*variable).starts_with("GNUPGHOME=")) environment.emplace_back(*variable);
  environment.push_back("GNUPGHOME=" + home);
  std::vector<std::string> all = {"--batch", "--no-tty", "--pinentry-mode", "loopback", "--passphrase", ""};
  all.insert(all.end(), args.begin(), args.end());
  const ChildRun run = RunChild(OnPath("gpg"), all, tree_.path(), {.environment = &environment});
  return run.status == 0 ? run.out : "gpg failed (" + std::to_string(run.status) + "): " + run.out + run.err;
}

GnuPGKeys::GnuPGKeys() {
  publisher_home_ = tree_.Folder("publisher");
  stranger_home_ = tree_.Folder("stranger");
  user_home_ = tree_.Folder("user");
  for (const std::string* home : {&publisher_home_, &stranger_home_, &user_home_}) ::chmod(home->c_str(), 0700);
  const auto check = [this](const std::string& out) {
    if (out.starts_with("gpg failed")) {
      ADD_FAILURE() << out;
      ok_ = false;
    }
    return out;
  };
  for (int i = 0; i < 5; ++i) {
    const auto key = static_cast<Key>(i);
    const std::string& home = key == Key::kStranger ? stranger_home_ : publisher_home_;
    check(Run(home, {kKeysMade, "--quick-gen-key", UserId(key), "ed25519", "sign", key == Key::kExpired ? "1d" : "0"}));
    const std::string listing = check(Run(home, {"--with-colons", "--list-keys", "=" + UserId(key)}));
    const std::size_t fpr = listing.find("\nfpr:");
    if (fpr != std::string::npos) fingerprints_[i] = listing.substr(fpr + 13, 40);
  }
  const std::string keys = tree_.Write("keys.asc", check(Run(publisher_home_, {"--armor", "--export"})));
  check(Run(user_home_, {"--import", keys}));
  // GnuPG keeps a revocation of each key it makes, its first line marked so
  // that it is not imported by mistake.
  std::string revocation = ReadFile(publisher_home_ + "/openpgp-revocs.d/" + Fingerprint(Key::kRevoked) + ".rev");
  const std::size_t mark = revocation.find(":-----BEGIN");
  if (mark != std::string::npos) revocation.erase(mark, 1);
  check(Run(user_home_, {"--import", tree_.Write("revocation.asc", revocation)}));
  check(Run(user_home_, {"--import-ownertrust", tree_.Write("trust.txt", Fingerprint(Key::kTrusted) + ":6:\n")}));
}

GnuPGKeys::~GnuPGKeys() {
  for (const std::string* home : {&publisher_home_, &stranger_home_, &user_home_}) {
    std::vector<std::string> environment = {"GNUPGHOME=" + *home, "PATH=/usr/bin:/bin"};
    RunChild(OnPath("gpgconf"), {"--kill", "gpg-agent"}, tree_.path(), {.environment = &environment});
  }
}

std::string GnuPGKeys::ClearSigned(Key key, const std::string& text, const std::vector<std::string>& extra) {
  const std::string name = "signed" + std::to_string(++files_);
  const std::string in = tree_.Write(name, text), out = in + ".asc";
  std::vector<std::string> args = {"--local-user", "=" + UserId(key), "--clearsign", "-o", out};
  if (key == Key::kExpired) args.insert(args.begin(), kExpiredKeySigns);
  args.insert(args.begin(), extra.begin(), extra.end());
  args.push_back(in);
  const std::string& home = key == Key::kStranger ? stranger_home_ : publisher_home_;
  if (Run(home, args).starts_with("gpg failed")) ADD_FAILURE() << "clear-signing failed";
  return ReadFile(out);
}

std::string GnuPGKeys::DetachedSignature(Key key, const std::string& text, bool armoured) {
  const std::string name = "signed" + std::to_string(++files_);
  const std::string in = tree_.Write(name, text), out = in + ".sig";
  std::vector<std::string> args = {"--local-user", "=" + UserId(key), "--detach-sign", "-o", out, in};
  if (armoured) args.insert(args.begin(), "--armor");
  if (key == Key::kExpired) args.insert(args.begin(), kExpiredKeySigns);
  const std::string& home = key == Key::kStranger ? stranger_home_ : publisher_home_;
  if (Run(home, args).starts_with("gpg failed")) ADD_FAILURE() << "signing failed";
  return ReadFile(out);
}

std::string GnuPGKeys::StatusOfVerify(const std::string& signed_file, const std::string& data) {
  std::vector<std::string> args = {"--status-fd", "1", "--verify", "--", signed_file};
  if (!data.empty()) args.push_back(data);
  // gpg's exit status is not wanted: its status lines are.
  const std::string status = Run(user_home_, args);
  return status.starts_with("gpg failed") ? status.substr(status.find("): ") + 3) : status;
}

}  // namespace quillora::testing
