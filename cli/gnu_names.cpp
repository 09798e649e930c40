#include "cli/gnu_names.h"

#include <cstdio>

#ifndef _WIN32
#include <cctype>
#include <clocale>
#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <locale.h>
#endif

namespace quillora::cli {
namespace {

// What one character of a name asks of its quoting.
struct Piece {
  std::size_t size = 1;    // its bytes
  bool needs_quotes = false;
  // It reads the same in double quotes as in single ones: a name of such
  // characters and single quotes goes in double quotes.
  bool fits_both = false;
  // How it is written inside quotes: 0 as it stands, a letter for $'\n' and
  // its kin, 'o' for each byte as $'\ooo'.
  char escape = 0;
};

#ifndef _WIN32
// The user's character set, as the GNU tools take it (LC_ALL, LC_CTYPE,
// LANG); none when that names no locale the system has, which is C.
locale_t UserCharacters() {
  static const locale_t user = ::newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
  return user;
}

// The user's character set on this thread while it lives: the program
// itself keeps C's, whose messages and digits scripts expect.
class UserCharactersHere {
 public:
  UserCharactersHere() : before_(UserCharacters() ? ::uselocale(UserCharacters()) : static_cast<locale_t>(0)) {}
  ~UserCharactersHere() {
    if (before_) ::uselocale(before_);
  }
  UserCharactersHere(const UserCharactersHere&) = delete;
  UserCharactersHere& operator=(const UserCharactersHere&) = delete;

 private:
  locale_t before_;
};

// The bytes from `at` that make one character of the user's character set,
// and whether it prints. A byte that starts none is one piece, unprintable;
// a character cut short by the name's end is the rest of the name.
Piece CharacterAt(std::string_view name, std::size_t at) {
  const auto byte = static_cast<unsigned char>(name[at]);
  Piece piece;
  bool prints = false;
  if (MB_CUR_MAX == 1) {
    prints = std::isprint(byte) != 0;
  } else {
    std::mbstate_t state{};
    wchar_t wide = 0;
    const std::size_t bytes = std::mbrtowc(&wide, name.data() + at, name.size() - at, &state);
    if (bytes == static_cast<std::size_t>(-2)) {
      piece.size = name.size() - at;
    } else if (bytes != static_cast<std::size_t>(-1) && bytes != 0) {
      piece.size = bytes;
      prints = std::iswprint(static_cast<wint_t>(wide)) != 0;
      // Old shells take a later byte of such a character for itself.
      for (std::size_t i = 1; i < bytes && prints; ++i) {
        const char later = name[at + i];
        if (later == '[' || later == '\\' || later == '^' || later == '`' || later == '|') piece.needs_quotes = true;
      }
    }
  }
  piece.needs_quotes = piece.needs_quotes || !prints;
  piece.fits_both = prints;
  piece.escape = prints ? 0 : 'o';
  return piece;
}
#else
// Names are UTF-8 here, whose characters past ASCII all print.
Piece CharacterAt(std::string_view name, std::size_t at) {
  const auto byte = static_cast<unsigned char>(name[at]);
  const bool prints = byte >= 0x20 && byte != 0x7f;
  return {1, !prints, prints, prints ? char(0) : 'o'};
}
#endif

bool StandsInAnyQuoting(char ch) {
  return (ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || ch == '%' ||
         ch == '+' || ch == ',' || ch == '-' || ch == '.' || ch == '/' || ch == ']' || ch == '_' || ch == ':';
}

Piece PieceAt(std::string_view name, std::size_t at) {
  const char ch = name[at];
  if (StandsInAnyQuoting(ch)) return {1, ch == ':', true, 0};
  switch (ch) {
    case '\n': return {1, true, false, 'n'};
    case '\r': return {1, true, false, 'r'};
    case '\t': return {1, true, false, 't'};
    case '\a': return {1, true, false, 'a'};
    case '\b': return {1, true, false, 'b'};
    case '\f': return {1, true, false, 'f'};
    case '\v': return {1, true, false, 'v'};
    case '{':
    case '}':  // a shell's word alone
      return name.size() == 1 ? Piece{1, true, true, 0} : Piece{1, false, false, 0};
    case '#':
    case '~':  // a shell's at a word's start
      return at == 0 ? Piece{1, true, true, 0} : Piece{1, false, false, 0};
    case ' ':
    case '\'': return {1, true, true, 0};
    case '!': case '"': case '$': case '&': case '(': case ')': case '*': case ';': case '<': case '=':
    case '>': case '?': case '[': case '\\': case '^': case '`': case '|':
      return {1, true, false, 0};
    default: return CharacterAt(name, at);
  }
}

void AppendOctal(std::string& out, unsigned char byte) {
  char digits[8];
  std::snprintf(digits, sizeof digits, "\\%03o", byte);
  out += digits;
}

}  // namespace

std::string QuotedName(std::string_view name) {
#ifndef _WIN32
  const UserCharactersHere user_characters;
#endif
  bool needs_quotes = name.empty(), fits_both = true, single_quote = false;
  for (std::size_t at = 0; at < name.size();) {
    const Piece piece = PieceAt(name, at);
    needs_quotes = needs_quotes || piece.needs_quotes;
    fits_both = fits_both && piece.fits_both;
    single_quote = single_quote || name[at] == '\'';
    at += piece.size;
  }
  if (!needs_quotes) return std::string(name);
  if (single_quote && fits_both) return "\"" + std::string(name) + "\"";
  // Escapes go in $'...', which closes the single quotes before it and
  // opens new ones after it.
  std::string out = "'";
  bool escaping = false;
  for (std::size_t at = 0; at < name.size();) {
    const Piece piece = PieceAt(name, at);
    if (piece.escape != 0) {
      if (!escaping) out += "'$'";
      escaping = true;
      if (piece.escape == 'o') {
        for (std::size_t i = 0; i < piece.size; ++i) AppendOctal(out, static_cast<unsigned char>(name[at + i]));
      } else {
        out += '\\';
        out += piece.escape;
      }
    } else if (name[at] == '\'') {
      out += "'\\''";
      escaping = false;
    } else {
      if (escaping) out += "''";
      escaping = false;
      out.append(name.substr(at, piece.size));
    }
    at += piece.size;
  }
  return out + "'";
}

std::string CheckLineName(std::string_view name) {
  if (name.find_first_of("\\\n\r") == std::string_view::npos) return std::string(name);
  std::string out = "\\";
  out.reserve(name.size() + 8);
  for (const char ch : name) {
    switch (ch) {
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += ch;
    }
  }
  return out;
}

}  // namespace quillora::cli
