// The parser of Fortran formats (see fortran_format.h for the descriptors it takes): one pass
// over the text, recursive for parenthesised groups.
#include "fortio/format_program.h"

#include <cctype>
#include <utility>

#include "fortio/error.h"
#include "fortio/fortran_edit.h"

namespace atmotab {

namespace {

// The program being compiled and the position in the format text.
struct FormatParser : FormatProgram {
  std::size_t pos = 0;

  [[noreturn]] void fail(const std::string& what) const {
    throw atmo_error(1, "format",
                     what + " at column " + std::to_string(pos + 1) + " of format " + source);
  }
  void skip_blanks() {
    while (pos < source.size() && (source[pos] == ' ' || source[pos] == '\t')) ++pos;
  }
  int peek() {
    skip_blanks();
    return pos < source.size() ? std::toupper(static_cast<unsigned char>(source[pos])) : -1;
  }
  bool peek_digit() {
    const int c = peek();
    return c >= '0' && c <= '9';
  }
  // An unsigned integer; blanks inside it are ignored, as Fortran does in formats.
  int number() {
    if (!peek_digit()) fail("number expected");
    long v = 0;
    while (peek_digit()) {
      v = v * 10 + (source[pos++] - '0');
      if (v > 100000000) fail("number too large");
    }
    return static_cast<int>(v);
  }
  void literal(char quote) {
    ++pos;  // opening quote
    const auto off = static_cast<std::uint32_t>(literals.size());
    for (;;) {
      if (pos >= source.size()) fail("unterminated character literal");
      const char c = source[pos++];
      if (c == quote) {
        if (pos < source.size() && source[pos] == quote) {
          literals.push_back(quote);
          ++pos;
          continue;
        }
        break;
      }
      literals.push_back(c);
    }
    FmtOp op{FmtCode::Lit};
    op.lit_off = off;
    op.lit_len = static_cast<std::uint32_t>(literals.size() - off);
    record_hint += op.lit_len;
    ops.push_back(op);
  }

  // Data descriptor letter(s) at POS, with repeat count REP already read.
  void data_descriptor(int rep) {
    const int c = peek();
    FmtOp op{FmtCode::I};
    op.rep = rep;
    ++pos;
    switch (c) {
      case 'I':
        op.code = FmtCode::I;
        op.w = number();
        op.d = -1;
        if (peek() == '.') {
          ++pos;
          op.d = number();
        }
        break;
      case 'F':
        op.code = FmtCode::F;
        op.w = number();
        if (peek() != '.') fail("F needs w.d");
        ++pos;
        op.d = number();
        break;
      case 'E':
      case 'D':
        op.code = FmtCode::E;
        op.exp_letter = static_cast<char>(c);
        if (c == 'E' && peek() == 'S') {
          ++pos;
          op.code = FmtCode::ES;
        }
        op.w = number();
        if (peek() != '.') fail("E needs w.d");
        ++pos;
        op.d = number();
        if (c == 'E' && peek() == 'E') {
          ++pos;
          op.e = number();
          if (op.e < 1 || op.e > FMT_MAX_EXP_DIGITS) fail("exponent width out of range");
        }
        if (op.w < 1) fail("zero width E");
        break;
      case 'A':
        op.code = FmtCode::A;
        op.w = peek_digit() ? number() : 0;
        break;
      default:
        --pos;
        fail("unsupported edit descriptor");
    }
    if (op.code != FmtCode::A && op.code != FmtCode::I && op.w == 0) fail("zero width");
    if (op.d > FMT_MAX_DIGITS) fail("too many digits");
    has_data = true;
    record_hint += static_cast<std::size_t>(rep) * static_cast<std::size_t>(op.w);
    ops.push_back(op);
  }

  // Items of a parenthesised list up to and including its closing parenthesis.
  void list(int depth) {
    bool need_item = true;  // at the start, or after a comma
    for (;;) {
      const int c = peek();
      if (c < 0) fail("missing closing parenthesis");
      if (c == ')') {
        ++pos;
        return;
      }
      if (c == ',') {
        if (need_item) fail("empty item");
        ++pos;
        need_item = true;
        continue;
      }
      need_item = false;
      if (c == '\'' || c == '"') {
        skip_blanks();
        literal(source[pos]);
        continue;
      }
      if (c == '/' || c == ':') {
        ++pos;
        FmtOp op{c == '/' ? FmtCode::Slash : FmtCode::Colon};
        ops.push_back(op);
        continue;
      }
      if (c == '(') {
        group(1, depth);
        continue;
      }
      // A signed number: scale factor; an unsigned one: repeat count, nX, nH.
      bool sign = false, minus = false;
      if (c == '+' || c == '-') {
        sign = true;
        minus = c == '-';
        ++pos;
      }
      if (peek_digit()) {
        const int n = number();
        const int next = peek();
        if (next == 'P') {
          ++pos;
          if (n > FMT_MAX_SCALE) fail("scale factor too large");
          FmtOp op{FmtCode::Scale};
          op.k = minus ? -n : n;
          ops.push_back(op);
          continue;  // a descriptor may follow directly: 1PE12.4, 1P6E12.4
        }
        if (sign) fail("sign without P");
        if (n == 0) fail("zero repeat count");
        if (next == 'X') {
          ++pos;
          FmtOp op{FmtCode::X};
          op.w = n;
          record_hint += static_cast<std::size_t>(n);
          ops.push_back(op);
        } else if (next == 'H') {
          ++pos;
          if (pos + static_cast<std::size_t>(n) > source.size())
            fail("Hollerith runs past the end");
          FmtOp op{FmtCode::Lit};
          op.lit_off = static_cast<std::uint32_t>(literals.size());
          op.lit_len = static_cast<std::uint32_t>(n);
          literals.append(source, pos, static_cast<std::size_t>(n));
          pos += static_cast<std::size_t>(n);
          record_hint += static_cast<std::size_t>(n);
          ops.push_back(op);
        } else if (next == '/') {
          ++pos;
          FmtOp op{FmtCode::Slash};
          op.rep = n;
          ops.push_back(op);
        } else if (next == '(') {
          group(n, depth);
        } else {
          data_descriptor(n);
        }
        continue;
      }
      if (sign) fail("sign without P");
      if (c == 'X') {  // a bare X: one blank, as gfortran accepts
        ++pos;
        FmtOp op{FmtCode::X};
        op.w = 1;
        ops.push_back(op);
        continue;
      }
      data_descriptor(1);
    }
  }

  void group(int rep, int depth) {
    if (depth + 1 > FMT_MAX_DEPTH) fail("groups nested too deeply");
    ++pos;  // '('
    const int begin = static_cast<int>(ops.size());
    if (depth == 0) reversion = begin;
    FmtOp op{FmtCode::Begin};
    op.rep = rep;
    ops.push_back(op);
    const std::size_t hint0 = record_hint;
    list(depth + 1);
    FmtOp end{FmtCode::End};
    end.k = begin;
    ops.push_back(end);
    record_hint = hint0 + (record_hint - hint0) * static_cast<std::size_t>(rep);
  }

  void parse() {
    if (peek() != '(') fail("format must start with '('");
    ++pos;
    list(0);
    if (peek() >= 0) fail("text after the closing parenthesis");
    ops.push_back(FmtOp{FmtCode::Finish});
  }
};

}  // namespace

FormatProgram compile_format(std::string_view format) {
  FormatParser p;
  p.source = std::string(format);
  p.parse();
  return std::move(static_cast<FormatProgram&>(p));
}

}  // namespace atmotab
