#include "checkfile/check_file_reader.h"

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

// One line of md5sum's layouts, line[from] on (what comes before stays). On
// success the line is cut to what came before followed by the name, decoded
// and in native form, and digest holds the digest text.
bool ParseMd5sumLine(std::string& line, std::size_t from, std::string& digest) {
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
    digest.assign(line, at, kDigestTextLength);
    name_begin = at + kDigestTextLength + 1;
    if (name_begin < line.size() && (line[name_begin] == ' ' || line[name_begin] == '*')) ++name_begin;
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
  while (count > 0) {
    if (path_.size() == kPieceSize) {
      pieces_.push_back(std::move(path_));
      path_ = std::string();
      path_.reserve(kPieceSize);
    }
    const std::size_t take = std::min(count, kPieceSize - path_.size());
    path_.append(bytes, take);
    bytes += take;
    count -= take;
  }
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
  if (prefix_.empty() && pieces_.empty()) {
    into.swap(path_);  // no copy, and no allocation once warm
    return;
  }
  std::size_t size = prefix_.size() + path_.size();
  for (const std::string& piece : pieces_) size += piece.size();
  std::string joined;
  joined.reserve(size + (pieces_.empty() ? 0 : kPathRoom));
  joined += prefix_;
  for (std::string& piece : pieces_) {
    joined += piece;
    std::string().swap(piece);  // given back at once: the path is never held twice
  }
  joined += path_;
  into = std::move(joined);
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
      } else if (ParseMd5sumLine(line, prefix_.size(), record.digest_text)) {
        is_record = true;
        MendLegacyText(line, prefix_.size());  // written by a program that knew only the ANSI code page
      } else {
        ++improper_lines_;
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
    }
    state_ = LineState::kHead;
  }
  pieces_.clear();
  head_.clear();
  path_.clear();
  return is_record;
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
  layout_ = CheckFileLayout::kMd5sum;
  if (start_ < 0 || !input_.Seek(start_))
    throw IoError::FromSystem(input_.last_error() != 0 ? input_.last_error() : ESPIPE);
  state_ = LineState::kLineStart;
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
      if (state_ == LineState::kRecordPath || state_ == LineState::kLine) AppendPath(data + at_, run - at_);
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
    } else if (ch == '\t') {
      state_ = head_.size() == kDigestTextLength ? LineState::kRecordPath : LineState::kNotRecord;
    } else if (head_.size() == kDigestTextLength) {
      state_ = LineState::kNotRecord;
    } else {
      head_ += ch;
    }
  }
  return false;
}

}  // namespace quillora
