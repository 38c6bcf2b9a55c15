// The compiled form of a Fortran format: the parser turns the format text into a flat list of
// operations, nested groups becoming Begin/End pairs with their repeat counts, and gathers the
// text of its literals. Shared by the writer (fortran_format.cpp) within fortio.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace atmotab {

// Deepest nesting of parenthesised groups inside the outer parentheses.
constexpr int FMT_MAX_DEPTH = 16;

// What an operation does.
enum class FmtCode : std::uint8_t {
  I,       // Iw, Iw.m
  F,       // Fw.d
  E,       // Ew.d, Ew.dEe, Dw.d
  ES,      // ESw.d, ESw.dEe
  A,       // A, Aw
  X,       // nX
  Slash,   // r/
  Lit,     // '...', "...", nH...
  Scale,   // kP
  Colon,   // :
  Begin,   // r( ...
  End,     // ) of a group
  Finish,  // the outer closing parenthesis
};

// One operation: a descriptor with its repeat count and fields, a literal, or a group bracket.
struct FmtOp {
  FmtCode code;
  char exp_letter = 'E';  // E or D
  int rep = 1;            // repeat count (data descriptors, slash, group)
  int w = 0;              // field width (A: 0 = the item's length; I: 0 = minimal)
  int d = 0;              // digits after the point; m of Iw.m (-1 when absent)
  int e = 0;              // exponent digits of Ew.dEe (0: the default form)
  int k = 0;              // scale factor (Scale); index of the group's Begin (End)
  std::uint32_t lit_off = 0, lit_len = 0;
};

// A compiled format.
struct FormatProgram {
  std::string source;      // the format as written, for messages
  std::string literals;    // text of all literals, back to back
  std::vector<FmtOp> ops;  // ends with Finish
  int reversion = 0;       // where format control reverts: the last top-level group, or the start
  bool has_data = false;   // the format has a data descriptor
  std::size_t record_hint = 0;  // characters of one pass, to size the output once
};

// FORMAT compiled; throws atmo_error (naming the column and the format) on a malformed format.
FormatProgram compile_format(std::string_view format);

}  // namespace atmotab
