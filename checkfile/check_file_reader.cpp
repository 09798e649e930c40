#include "checkfile/check_file_reader.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <string_view>

#include "checkfile/check_file_format.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/wide_text.h"

namespace quillora {
namespace {

constexpr char kEndOfInput = '\x1a';
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsSpecial(char ch) { return ch == '\n' || ch == '\r' || ch == kEndOfInput; }
bool IsBlank(char ch) { return ch == ' ' || ch == '\t'; }

bool IsDigestAt(const std::string& line, std::size_t at) {
  if (line.size() < at + kDigestTextLength) return false;
  for (std::size_t i = at; i < at + kDigestTextLength; ++i) {
    const char ch = line[i];
    if (!((ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f') || (ch >= 'A' && ch <= 'F'))) return false;
  }
  return true;
}

bool IsBlankOnly(std::string_view text) { return text.find_first_not_of(" \t") == std::string_view::npos; }

bool IsHexDigit(char ch) { return (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f') || (ch >= 'A' && ch <= 'F'); }

// What a line that is no record looks like a record of: a tag before a name
// in brackets ("SHA256 (name) = ..." gives "SHA256"), or a run of hex digits
// of another digest's length before a blank ("256-bit"); else nothing.
std::string LooksLike(std::string_view line) {
  std::size_t at = line.find_first_not_of(" \t\\");
  if (at == std::string_view::npos) return {};
  line.remove_prefix(at);
  std::size_t tag = 0;
  while (tag < line.size() && tag < 16 &&
         (std::isalnum(static_cast<unsigned char>(line[tag])) || line[tag] == '-' || line[tag] == '/'))
    ++tag;
  const std::string_view after = line.substr(tag);
  if (tag > 1 && !IsHexDigit(line[0]) && (after.starts_with(" (") || after.starts_with("(")) &&
      (line.find(") = ") != std::string_view::npos || line.find(")= ") != std::string_view::npos))
    return std::string(line.substr(0, tag));
  std::size_t digits = 0;
  while (digits < line.size() && IsHexDigit(line[digits])) ++digits;
  const bool ends = digits == line.size() || IsBlank(line[digits]);
  if (!ends) return {};
  switch (digits) {
    case 40: return "160-bit";
    case 56: return "224-bit";
    case 64: return "256-bit";
    case 96: return "384-bit";
    case 128: return "512-bit";
    default: return {};
  }
}

// One line of md5sum's layouts, line[from] on (what comes before stays). On
// success the line is cut to what came before followed by the name, decoded
// and in native form, and digest holds the digest text. form: which of the
// untagged forms the file is in, set by its first untagged line.
template <class BlankForm>
bool ParseMd5sumLine(std::string& line, std::size_t from, std::string& digest, BlankForm& form) {
  std::size_t at = from;
  while (at < line.size() && IsBlank(line[at])) ++at;
  const bool escaped = at < line.size() && line[at] == '\\';
  if (escaped) ++at;
  std::size_t name_begin = 0;
  std::size_t name_end = 0;
  // A digest never holds an "M": the two forms cannot be mistaken.
  if (line.compare(at, 4, "MD5(") == 0 || line.compare(at, 5, "MD5 (") == 0) {
    name_begin = at + (line[at + 3] == '(' ? 4 : 5);
    // The name may hold ") = " itself: the line is cut from its end.
    if (line.size() < name_begin + 2 + kDigestTextLength) return false;
    const std::size_t digest_at = line.size() - kDigestTextLength;
    if (!IsDigestAt(line, digest_at)) return false;
    std::size_t end = digest_at;
    while (end > name_begin && line[end - 1] == ' ') --end;
    if (end == name_begin || line[end - 1] != '=') return false;
    --end;
    if (end > name_begin && line[end - 1] == ' ') --end;
    if (end == name_begin || line[end - 1] != ')') return false;
    name_end = end - 1;
    digest.assign(line, digest_at, kDigestTextLength);
  } else {
    if (!IsDigestAt(line, at) || line.size() == at + kDigestTextLength || !IsBlank(line[at + kDigestTextLength]))
      return false;
    name_begin = at + kDigestTextLength + 1;
    // As md5sum reads it: a file whose first such line has one blank (and a
    // name) has names right after one blank, whatever they start with; in
    // the other a mode mark, " " or "*", always follows.
    const bool mode_mark = line.size() - name_begin > 1 && (line[name_begin] == ' ' || line[name_begin] == '*');
    if (form == BlankForm::kUnknown) form = mode_mark ? BlankForm::kTwo : BlankForm::kOne;
    if (form == BlankForm::kTwo) {
      if (!mode_mark) return false;
      ++name_begin;
    }
    if (name_begin == line.size()) return false;  // md5sum writes no empty name
    digest.assign(line, at, kDigestTextLength);
    name_end = line.size();
  }
  // The name moves down over the digest, decoded on the way: it only shrinks.
  std::size_t out = from;
  for (std::size_t i = name_begin; i < name_end; ++i) {
    char ch = line[i];
    if (ch == '\\') {
      if (!escaped) {
        ch = kPathSeparator;
      } else {
        if (++i == name_end) return false;
        switch (line[i]) {
          case '\\': ch = '\\'; break;
          case 'n': ch = '\n'; break;
          case 'r': ch = '\r'; break;
          default: return false;
        }
      }
    }
    line[out++] = ch;
  }
  line.resize(out);
  return true;
}

}  // namespace

CheckFileReader::CheckFileReader(Stream& input, std::string path_prefix)
    : input_(input), start_(input.Position()), block_(kBlockSize, '\0'), prefix_(std::move(path_prefix)) {
  head_.reserve(kDigestTextLength);
}

void CheckFileReader::AppendPath(const char* bytes, std::size_t count) {
  if (!whole_line_ && path_.size() + count > kLongLine) {
    // Only a run of the block gets here (a line's single first byte never
    // makes it long): what is left of the line starts at block_[at_].
    const std::uint64_t rest = LineBytesFromHere();
    std::string whole;
    whole.reserve(prefix_.size() + path_.size() + rest + kPathRoom);
    whole.append(prefix_).append(path_);
    path_.swap(whole);
    whole_line_ = true;
  }
  path_.append(bytes, count);
}

std::uint64_t CheckFileReader::LineBytesFromHere() {
  const std::string_view in_block(block_.data() + at_, size_ - at_);
  if (const std::size_t lf = in_block.find('\n'); lf != std::string_view::npos) return lf;
  std::uint64_t bytes = in_block.size();
  const std::int64_t resume = input_.Position();
  if (resume < 0) return bytes;  // no going back: the line grows as it comes
  std::string scan(kBlockSize, '\0');
  for (;;) {
    const std::int64_t got = input_.Read(scan.data(), scan.size());
    if (got < 0) throw IoError::FromSystem(input_.last_error());
    if (got == 0) break;
    const std::string_view read(scan.data(), static_cast<std::size_t>(got));
    if (const std::size_t lf = read.find('\n'); lf != std::string_view::npos) {
      bytes += lf;
      break;
    }
    bytes += read.size();
  }
  if (!input_.Seek(resume)) throw IoError::FromSystem(input_.last_error() != 0 ? input_.last_error() : ESPIPE);
  return bytes;
}

void CheckFileReader::ReadStart() {
  // A read may return fewer bytes than asked: the mark is known only once
  // three bytes (or the end) are in.
  at_ = 0;
  size_ = 0;
  while (size_ < kByteOrderMark.size()) {
    const std::int64_t got = input_.Read(block_.data() + size_, kByteOrderMark.size() - size_);
    if (got < 0) throw IoError::FromSystem(input_.last_error());
    if (got == 0) break;
    size_ += static_cast<std::size_t>(got);
  }
  if (std::string_view(block_.data(), size_) == kByteOrderMark) at_ = size_;
  started_ = true;
}

bool CheckFileReader::Refill() {
  const std::int64_t got = input_.Read(block_.data(), block_.size());
  if (got < 0) throw IoError::FromSystem(input_.last_error());
  at_ = 0;
  size_ = static_cast<std::size_t>(got);
  return got > 0;
}

void CheckFileReader::TakeGathered(std::string& into) {
  if (whole_line_) {
    // The prefix is in already, and the string is the line's own: handed
    // over, never copied, and not kept for the next line.
    into = std::move(path_);
    path_ = std::string();
    whole_line_ = false;
    return;
  }
  if (prefix_.empty()) {
    into.swap(path_);  // no copy, and no allocation once warm
    return;
  }
  into.assign(prefix_).append(path_);
}

void CheckFileReader::CountUnread(std::string_view line_start) {
  std::string looks_like = LooksLike(line_start);
  if (!looks_like.empty()) {
    auto kind = std::find_if(kinds_.begin(), kinds_.end(), [&](const auto& k) { return k.first == looks_like; });
    if (kind == kinds_.end()) kind = kinds_.insert(kind, {looks_like, 0});
    ++kind->second;
  }
  if (unread_.size() < kUnreadKept) unread_.push_back({line_number_, std::move(looks_like)});
  ++unread_count_;
}

bool CheckFileReader::EndLine(CheckRecord& record) {
  bool is_record = false;
  if (layout_ == CheckFileLayout::kMd5sum) {
    if (state_ == LineState::kLine) {
      std::string& line = record.path;
      TakeGathered(line);
      if (line.size() > prefix_.size() && line.back() == '\r') line.pop_back();
      if (line.find_first_not_of(" \t", prefix_.size()) == std::string::npos) {
        // a line of blanks, passed over
      } else if (ParseMd5sumLine(line, prefix_.size(), record.digest_text, blank_form_)) {
        is_record = true;
        MendLegacyText(line, prefix_.size());  // written by a program that knew only the ANSI code page
      } else {
        CountUnread(std::string_view(line).substr(prefix_.size(), kSampleSize));
      }
    }
    state_ = LineState::kLineStart;
  } else {
    is_record = state_ == LineState::kRecordPath;
    if (is_record) {
      record.digest_text.swap(head_);
      TakeGathered(record.path);
      ToNativePath(record.path, prefix_.size());
      // A check file written by a program that knew only the ANSI code page.
      MendLegacyText(record.path, prefix_.size());
      decided_ = true;
    } else if ((state_ == LineState::kNotRecord && !sample_blank_) || (state_ == LineState::kHead && !IsBlankOnly(head_))) {
      CountUnread(state_ == LineState::kHead ? head_ : sample_);
    }
    state_ = LineState::kHead;
  }
  ++line_number_;
  if (whole_line_) {
    path_ = std::string();
    whole_line_ = false;
  }
  head_.clear();
  path_.clear();
  sample_.clear();
  return is_record;
}

void CheckFileReader::Restart() {
  layout_ = CheckFileLayout::kMd5sum;
  state_ = LineState::kLineStart;
  line_number_ = 1;
  unread_count_ = 0;
  unread_.clear();
  kinds_.clear();
}

bool CheckFileReader::EndOfInput(CheckRecord& record) {
  if (EndLine(record)) {
    ended_ = true;
    return true;
  }
  if (decided_ || layout_ == CheckFileLayout::kMd5sum) {
    ended_ = true;
    return false;
  }
  // Not one record of Quillora's layout: the file is read again, as
  // md5sum's. Nothing was held meanwhile, whatever the file's size.
  if (start_ < 0 || !input_.Seek(start_))
    throw IoError::FromSystem(input_.last_error() != 0 ? input_.last_error() : ESPIPE);
  Restart();
  ReadStart();
  return false;
}

bool CheckFileReader::Next(CheckRecord& record) {
  if (!started_) ReadStart();
  while (!ended_) {
    if (at_ == size_ && !Refill()) {
      if (EndOfInput(record)) return true;
      continue;
    }
    const char* const data = block_.data();
    const bool md5sum = layout_ == CheckFileLayout::kMd5sum;
    // Runs of ordinary bytes are settled in one step where the state allows.
    if (state_ != LineState::kHead && state_ != LineState::kLineStart) {
      std::size_t run = at_;
      if (md5sum) {
        while (run < size_ && data[run] != '\n') ++run;
      } else {
        while (run < size_ && !IsSpecial(data[run])) ++run;
      }
      if (state_ == LineState::kRecordPath || state_ == LineState::kLine) {
        AppendPath(data + at_, run - at_);
      } else if (state_ == LineState::kNotRecord) {
        const std::string_view bytes(data + at_, run - at_);
        sample_blank_ = sample_blank_ && IsBlankOnly(bytes);
        sample_.append(bytes.substr(0, kSampleSize - std::min(kSampleSize, sample_.size())));
      }
      at_ = run;
      if (at_ == size_) continue;
    }
    const char ch = data[at_++];
    if (md5sum) {
      if (ch == '\n') {
        if (EndLine(record)) return true;
      } else if (ch == kEndOfInput) {  // only first on a line reaches here
        ended_ = true;
      } else if (ch == '#' || ch == ';') {
        state_ = LineState::kComment;
      } else {
        state_ = LineState::kLine;
        AppendPath(&ch, 1);
      }
      continue;
    }
    if (ch == kEndOfInput) {
      if (EndOfInput(record)) return true;
      continue;
    }
    if (ch == '\r') continue;
    if (ch == '\n') {
      if (EndLine(record)) return true;
      continue;
    }
    // Only kHead reaches here with an ordinary byte.
    if (head_.empty() && ch == ';') {
      state_ = LineState::kComment;
    } else if (ch == '\t' && head_.size() == kDigestTextLength) {
      state_ = LineState::kRecordPath;
    } else if (ch == '\t' || head_.size() == kDigestTextLength) {
      state_ = LineState::kNotRecord;
      sample_ = head_ + ch;
      sample_blank_ = IsBlankOnly(sample_);
    } else {
      head_ += ch;
    }
  }
  return false;
}

}  // namespace quillora
