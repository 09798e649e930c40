#include "cli/arguments.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <span>
#include <string_view>

#include "digests/lane_kernel.h"
#include "hashes/digest_table.h"

namespace quillora::cli {
namespace {

std::string SetJobs(Invocation& invocation, const std::string& value) {
  char* end = nullptr;
  const unsigned long jobs = std::strtoul(value.c_str(), &end, 10);
  if (value.empty() || value[0] < '0' || value[0] > '9' || *end != '\0' || jobs == 0 || jobs > 256)
    return "invalid number of jobs '" + value + "' (1 to 256)";
  invocation.jobs = static_cast<unsigned>(jobs);
  return "";
}

// "scalar, avx512, avx2<last>sha-ni": every kernel's name, from the one list.
std::string EngineNames(std::string_view last) {
  std::string names;
  const auto all = KernelNames();
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (i > 0) names += i + 1 == all.size() ? last : ", ";
    names += all[i];
  }
  return names;
}

// A diagnostic: every digest that has this kernel runs it ("scalar": none
// runs a kernel).
std::string SetEngine(Invocation& invocation, const std::string& value) {
  const auto all = KernelNames();
  if (std::find(all.begin(), all.end(), value) == all.end())
    return "invalid engine '" + value + "' (" + EngineNames(" or ") + ")";
  if (!KernelSupported(value)) return "this processor cannot run the " + value + " engine";
  invocation.engine = value;
  return "";
}

// The layout make and hash write: Quillora's own, or md5sum's for md5sum -c.
std::string SetFormat(Invocation& invocation, const std::string& value) {
  if (value != "quillora" && value != "md5sum") return "invalid format '" + value + "' (quillora or md5sum)";
  invocation.md5sum_format = value == "md5sum";
  return "";
}

// -l BITS: a whole number of bits, as cksum -l takes it.
std::string SetLength(Invocation& invocation, const std::string& value) {
  char* end = nullptr;
  const long bits = std::strtol(value.c_str(), &end, 10);
  if (value.empty() || value[0] < '0' || value[0] > '9' || *end != '\0' || bits <= 0 || bits > 512 || bits % 8 != 0)
    return "invalid length '" + value + "' (bits, a multiple of 8 up to 512)";
  invocation.length_bits = static_cast<int>(bits);
  return "";
}

// "md5, sha1<last>crc32b": every name -a takes, from the digest table.
std::string AlgorithmNames(std::string_view last) {
  std::string names;
  const std::span<const std::string_view> all = CksumNames();
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (i > 0) names += i + 1 == all.size() ? last : ", ";
    names += all[i];
  }
  return names;
}

std::string SetAlgorithm(Invocation& invocation, const std::string& value) {
  if (!DigestsByCksumName(value)) return "invalid algorithm '" + value + "' (" + AlgorithmNames(" or ") + ")";
  invocation.algorithm = value;
  return "";
}

// --quiet, --status and --warn: each sets its own for verify, and undoes
// the others for check, as the GNU checkers take them.
std::string Report(Invocation& invocation, CheckReport report) {
  invocation.check_report = report;
  invocation.quiet = invocation.quiet || report == CheckReport::kQuiet;
  invocation.status_only = invocation.status_only || report == CheckReport::kStatus;
  invocation.warn = invocation.warn || report == CheckReport::kWarn;
  return "";
}

std::string SetModeMark(Invocation& invocation, char mark) {
  invocation.mode_mark = mark;
  return "";
}

}  // namespace

const std::vector<OptionRow>& Options() {
  static const std::string engine_help =
      "diagnostic: digest with kernel E where a digest has it (" + EngineNames(", ") +
      "; scalar: none; default: each digest's fastest this processor runs)";
  static const std::string algorithm_help =
      "the digest, as cksum -a names it (blake2s, sha512-224 and sha512-256 besides): " + AlgorithmNames(", ") +
      "; md5 is the default. make and hash then write sha256sum's lines (make: FOLDER/SHA256SUMS and the "
      "like; crc32b is only read), and verify and check read every line as that digest";
  static const std::vector<OptionRow> options = {
      {"jobs", 'j', "N", {}, "digest with N threads (default: one per core)", SetJobs},
      {"progress", 0, "", {},
       "show progress on standard error (default: when standard error is a terminal and standard output is not, or "
       "with --quiet or --status)",
       [](Invocation& i, const std::string&) { return i.progress = ProgressMode::kOn, std::string(); }},
      {"no-progress", 0, "", {}, "show no progress line",
       [](Invocation& i, const std::string&) { return i.progress = ProgressMode::kOff, std::string(); }},
      {"engine", 0, "E", {}, engine_help, SetEngine},
      {"help", 'h', "", {}, "show this text; with a command, that command's help",
       [](Invocation& i, const std::string&) { return i.help = true, std::string(); }},
      {"version", 'V', "", {}, "show the version",
       [](Invocation& i, const std::string&) { return i.version = true, std::string(); }},
      {"no-subfolders", 0, "", {"make"}, "record only FOLDER's own files",
       [](Invocation& i, const std::string&) { return i.no_subfolders = true, std::string(); }},
      {"check", 'c', "", {"check"}, "the check command: verify each CHECKFILE as sha256sum -c does",
       [](Invocation& i, const std::string&) { return i.check = true, std::string(); }},
      {"quiet", 0, "", {"verify", "check"}, "print no line for a file that is OK (verify: still the summary)",
       [](Invocation& i, const std::string&) { return Report(i, CheckReport::kQuiet); }},
      {"status", 0, "", {"verify", "check"}, "print nothing; the exit status alone tells",
       [](Invocation& i, const std::string&) { return Report(i, CheckReport::kStatus); }},
      {"new", 0, "", {"verify"},
       "also report each file below the check file's folder that no record names (New file ... \"PATH\") and "
       "their count",
       [](Invocation& i, const std::string&) { return i.new_files = true, std::string(); }},
      {"ignore-missing", 0, "", {"verify", "check"},
       "a recorded file that does not exist is no finding: no verdict, no count (when none exists, no file was "
       "verified: exit status 1)",
       [](Invocation& i, const std::string&) { return i.ignore_missing = true, std::string(); }},
      {"base-folder", 0, "DIR", {"verify"},
       "take the names from DIR instead of the check file's folder; with --new, look for new files in DIR",
       [](Invocation& i, const std::string& value) { return i.base_folder = value, std::string(); }},
      {"strict", 0, "", {"verify", "check"}, "a line not read as a record fails the run (verify: always so)",
       [](Invocation& i, const std::string&) { return i.strict = true, std::string(); }},
      {"warn", 'w', "", {"verify", "check"}, "name each line not read as a record on standard error",
       [](Invocation& i, const std::string&) { return Report(i, CheckReport::kWarn); }},
      {"algorithm", 'a', "NAME", {"make", "hash", "verify", "check"}, algorithm_help, SetAlgorithm},
      {"length", 'l', "BITS", {"make", "hash", "verify", "check"}, "with -a sha2, sha3 or blake2b: the digest's length",
       SetLength},
      {"tag", 0, "", {"make", "hash"}, "write BSD-style lines, as cksum and --tag write them: SHA256 (PATH) = DIGEST",
       [](Invocation& i, const std::string&) { return i.tag = true, std::string(); }},
      {"binary", 'b', "", {"hash"}, "write sha256sum's lines with the binary mark, as -b writes them: DIGEST *PATH",
       [](Invocation& i, const std::string&) { return SetModeMark(i, '*'); }},
      {"text", 't', "", {"hash"}, "write sha256sum's lines with the text mark, as -t writes them: DIGEST  PATH",
       [](Invocation& i, const std::string&) { return SetModeMark(i, ' '); }},
      {"zero", 'z', "", {"hash", "check"},
       "hash: end each line with NUL, not a line feed, and escape no name; check: read records ended by NUL, as "
       "sha256sum -z writes them",
       [](Invocation& i, const std::string&) { return i.nul_ended = true, std::string(); }},
      {"format", 0, "F", {"make", "hash"},
       "quillora (default) or md5sum: write md5sum's lines (DIGEST  NAME, names escaped as md5sum escapes "
       "them); make writes FOLDER/MD5SUMS instead of FOLDER/CheckSum.md5, for md5sum -c",
       SetFormat},
  };
  return options;
}

bool OptionRow::TakenBy(std::string_view command) const {
  if (commands.empty()) return true;
  for (std::string_view name : commands)
    if (name == command) return true;
  return false;
}

namespace {

const OptionRow* FindLong(std::string_view name) {
  for (const OptionRow& option : Options())
    if (option.long_name == name) return &option;
  return nullptr;
}

const OptionRow* FindShort(char name) {
  for (const OptionRow& option : Options())
    if (option.short_name != 0 && option.short_name == name) return &option;
  return nullptr;
}

// The parser's reading of one argument list: operands, the command, and the
// options given, each applied to the invocation as it is met.
class Parser {
 public:
  Parser(const std::vector<std::string>& args, Invocation& invocation) : args_(args), invocation_(invocation) {}

  // The problem with the arguments, or "".
  std::string Parse() {
    bool options_ended = false;
    for (at_ = 0; at_ < args_.size(); ++at_) {
      const std::string& arg = args_[at_];
      std::string problem;
      if (options_ended || arg == "-" || arg.empty() || arg[0] != '-') {
        words_.push_back(&arg);
      } else if (arg == "--") {
        options_ended = true;
      } else if (arg[1] == '-') {
        problem = LongOption(arg);
      } else {
        problem = ShortOptions(arg);
      }
      if (!problem.empty()) {
        TakeWords();
        return problem;
      }
    }
    if (std::string problem = TakeWords(); !problem.empty()) return problem;
    return invocation_.help || invocation_.version ? "" : OptionsFitTheCommand();
  }

 private:
  // The command and its operands, from the words that are no options: the
  // first names the command ("--help make": the help of that command), but
  // after -c, only when it is a command's name.
  std::string TakeWords() {
    auto word = words_.begin();
    if (word != words_.end()) {
      invocation_.command = FindCommand(**word);
      if (invocation_.command != nullptr) {
        ++word;
      } else if (!invocation_.check && !invocation_.help && !invocation_.version) {
        return "unknown command '" + **word + "'";
      }
    }
    if (invocation_.check && invocation_.command == nullptr) invocation_.command = FindCommand("check");
    for (; word != words_.end(); ++word) invocation_.operands.push_back(**word);
    return "";
  }

  std::string LongOption(const std::string& arg) {
    const std::size_t equals = arg.find('=');
    const std::string name = arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
    const OptionRow* option = FindLong(name);
    if (option == nullptr) return "unrecognized option '--" + name + "'";
    std::string value;
    if (equals != std::string::npos) {
      if (!option->TakesValue()) return "option '--" + name + "' doesn't allow an argument";
      value = arg.substr(equals + 1);
    } else if (option->TakesValue()) {
      if (at_ + 1 == args_.size()) return "option '--" + name + "' requires an argument";
      value = args_[++at_];
    }
    return Apply(option, value);
  }

  std::string ShortOptions(const std::string& arg) {
    for (std::size_t i = 1; i < arg.size(); ++i) {
      const OptionRow* option = FindShort(arg[i]);
      if (option == nullptr) return std::string("invalid option -- '") + arg[i] + "'";
      std::string value;
      if (option->TakesValue()) {
        if (i + 1 < arg.size()) {
          value = arg.substr(i + 1);
        } else if (at_ + 1 < args_.size()) {
          value = args_[++at_];
        } else {
          return std::string("option requires an argument -- '") + arg[i] + "'";
        }
        i = arg.size();
      }
      if (std::string problem = Apply(option, value); !problem.empty()) return problem;
    }
    return "";
  }

  std::string Apply(const OptionRow* option, const std::string& value) {
    given_.push_back(option);
    return option->apply(invocation_, value);
  }

  // Each option given is one the command takes.
  std::string OptionsFitTheCommand() const {
    const std::string_view command = invocation_.command != nullptr ? invocation_.command->name : "";
    for (const OptionRow* option : given_) {
      if (option->TakenBy(command)) continue;
      const std::string name = "--" + std::string(option->long_name);
      if (command.empty()) return "option '" + name + "' needs a command";
      return std::string(command) + " does not take the option '" + name + "'";
    }
    return "";
  }

  const std::vector<std::string>& args_;
  Invocation& invocation_;
  std::size_t at_ = 0;
  std::vector<const OptionRow*> given_;
  std::vector<const std::string*> words_;  // the arguments that are no options, in order
};

}  // namespace

std::string ParseArguments(const std::vector<std::string>& args, Invocation& invocation) {
  return Parser(args, invocation).Parse();
}

}  // namespace quillora::cli
