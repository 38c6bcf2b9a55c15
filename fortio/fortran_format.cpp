// Fortran formatted output (see the header for the rules gfortran follows).
//
// The constructor compiles the format into a flat list of operations (format_program.cpp); nested
// groups become Begin/End pairs with their repeat counts, so that a write is a loop over that list
// with a small fixed stack of group counters (Impl::walk). That walk depends on the item count
// alone, so a write keeps what it found as a plan for that count (constant text and runs of fields)
// and the next write of as many items only follows the plan. The one walk serves both: the
// interpreter writes the fields as the walk meets them, the plan builder notes them. The fields
// themselves are edited in fortran_edit.cpp and fortran_edit_fast.cpp.
#include "fortio/fortran_format.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <utility>

#include "fortio/error.h"
#include "fortio/format_program.h"
#include "fortio/fortran_edit.h"

namespace atmotab {

namespace {

// What stops a walk before the end of the statement.
enum class Stop : std::uint8_t {
  NoDataDescriptor,      // items for a format without data descriptors
  NoDataAfterReversion,  // items left, and the format has none after the point of reversion
};

const char* kind_name(FItem::Kind k) {
  switch (k) {
    case FItem::Kind::Integer:
      return "integer";
    case FItem::Kind::Real:
      return "real";
    case FItem::Kind::Text:
      return "character";
  }
  return "?";
}

}  // namespace

struct FortranFormat::Impl : FormatProgram {
  explicit Impl(FormatProgram program) : FormatProgram(std::move(program)) {}

  // What a write of a given number of items does, worked out once: the walk through the format
  // depends on the item count alone (not on the values), so the text between fields (literals,
  // the blanks of X that more text follows, the newlines of "/" and reversion) is gathered into
  // constant pieces and the fields into runs of one descriptor.
  struct Step {
    enum Kind : std::uint8_t { Text, Real, Int, Chars };
    Kind kind;
    int k = 0;                  // scale factor of a Real run
    std::uint32_t count = 0;    // fields of the run; characters of Text
    std::uint32_t off = 0;      // Text: offset in Plan::text
    std::size_t item = 0;       // first item of the run
    const FmtOp* op = nullptr;  // the descriptor of a field run
    FmtRealRoute route{};       // the fast editing of a Real run
  };
  struct Plan {
    std::size_t items = 0;  // the item count it was made for
    std::vector<Step> steps;
    std::string text;        // the constant pieces, back to back
    std::size_t length = 0;  // characters written
  };
  // Plans of the last few item counts (a listing alternates between two or three), filled and
  // read only by the non-const FortranFormat::write_to. A write whose walk has no plan (an error
  // on the way, a field of variable width: A without a width, I0, Iw.m; more than MAX_STEPS
  // steps or MAX_TEXT characters of text) is interpreted.
  static constexpr std::size_t MAX_PLANS = 4;
  static constexpr std::size_t MAX_STEPS = 512;
  static constexpr std::size_t MAX_TEXT = 65536;  // characters of constant text
  struct PlanCache {
    std::array<Plan, MAX_PLANS> plans;
    std::array<bool, MAX_PLANS> ok{};  // the walk of plans[j].items made a plan
    std::size_t used = 0, next = 0;    // slots filled; the slot a new count replaces next
  };
  PlanCache cache;

  template <class Visitor>
  bool walk(std::size_t n, Visitor& v) const;
  class Interpreter;
  class PlanBuilder;
  bool make_plan(std::size_t n, Plan& plan) const;
  const Plan* plan_for(std::size_t n);
  bool run_plan(const Plan& plan, std::string& out, std::span<const FItem> items) const;
  void interpret(std::string& out, std::span<const FItem> items) const;
};

FortranFormat::FortranFormat(std::string_view format)
    : impl_(std::make_unique<Impl>(compile_format(format))) {}

FortranFormat::~FortranFormat() = default;
FortranFormat::FortranFormat(FortranFormat&&) noexcept = default;
FortranFormat& FortranFormat::operator=(FortranFormat&&) noexcept = default;

std::string FortranFormat::write(std::span<const FItem> items) {
  std::string out;
  out.reserve(impl_->record_hint + 1);
  write_to(out, items);
  return out;
}

namespace {

// The records being written, at the end of a string: the string is sized ahead of the text (one
// fill of its new characters per call rather than one per field or literal) and cut back to the
// text written when the sink goes, also when an exception leaves the statement half done.
class RecordSink {
 public:
  RecordSink(std::string& out, std::size_t hint) : out_(out), len_(out.size()) {
    out_.resize(len_ + hint);
  }
  ~RecordSink() { out_.resize(len_); }
  RecordSink(const RecordSink&) = delete;
  RecordSink& operator=(const RecordSink&) = delete;

  // Room for K more characters; the caller writes all of them.
  char* room(std::size_t k) {
    if (len_ + k > out_.size()) out_.resize(std::max(2 * out_.size(), len_ + k));
    char* p = out_.data() + len_;
    len_ += k;
    return p;
  }
  // Room for K characters after BLANKS blanks (of X), which are written.
  char* room_after(std::size_t blanks, std::size_t k) {
    char* p = room(blanks + k);
    if (blanks) {
      std::memset(p, ' ', blanks);
      p += blanks;
    }
    return p;
  }

 private:
  std::string& out_;
  std::size_t len_;  // characters of OUT that hold text
};

// The field of OP under scale factor K for V, which the fast route declines, converted exactly
// (W characters too, through SCRATCH) and copied to AT.
void exact_field(char* at, const FmtOp& op, int k, double v, std::string& scratch) {
  scratch.clear();
  if (op.code == FmtCode::F)
    fmt_exact_f(scratch, v, op.w, op.d, k);
  else
    fmt_exact_e(scratch, v, op.w, op.d, op.e, k, op.exp_letter);
  std::memcpy(at, scratch.data(), static_cast<std::size_t>(op.w));
}

// N characters from S to P; the short pieces of a plan (a blank, a newline, a few blanks of X) in
// overlapping stores rather than a library call.
inline void copy_text(char* p, const char* s, std::size_t n) {
  if (n >= 8 && n <= 16) {
    std::memcpy(p, s, 8);
    std::memcpy(p + n - 8, s + n - 8, 8);
  } else if (n >= 4 && n < 8) {
    std::memcpy(p, s, 4);
    std::memcpy(p + n - 4, s + n - 4, 4);
  } else if (n > 0 && n < 4) {
    p[0] = s[0];
    p[n / 2] = s[n / 2];
    p[n - 1] = s[n - 1];
  } else {
    std::memcpy(p, s, n);
  }
}

// The COUNT real fields of OP under scale factor K from the items at IT by ROUTE, which reads
// their values where they are, at P (COUNT x W characters); a field the route declines is
// converted exactly through SCRATCH. Returns COUNT, or the index of the first item that is not a
// real (and writes nothing).
[[gnu::always_inline]] inline std::size_t routed_real_run(char* p, const FmtOp& op, int k,
                                                          const FmtRealRoute& route,
                                                          const FItem* it, std::size_t count,
                                                          std::string& scratch) {
  for (std::size_t j = 0; j < count; ++j)
    if (it[j].kind != FItem::Kind::Real) return j;
  const auto w = static_cast<std::size_t>(op.w);
  for (std::size_t j = 0;;) {
    j += route.run(p + j * w, reinterpret_cast<const char*>(&it[j].r), sizeof(FItem), count - j,
                   route);
    if (j == count) return count;
    exact_field(p + j * w, op, k, it[j].r, scratch);
    ++j;
  }
}

// The route of the fast editing of OP under scale factor K.
FmtRealRoute route_of(const FmtOp& op, int k) {
  return op.code == FmtCode::F ? fmt_fast_f_route(op.w, op.d, k)
                               : fmt_fast_e_route(op.w, op.d, op.e, k, op.exp_letter);
}

// REPS fields of the fast Iw of OP, in the same way.
bool int_run(char* p, const FmtOp& op, std::span<const FItem> items, std::size_t& next,
             std::size_t reps) {
  const auto w = static_cast<std::size_t>(op.w);
  for (std::size_t r = 0; r < reps; ++r, ++next, p += w) {
    const FItem& it = items[next];
    if (it.kind != FItem::Kind::Integer) return false;
    fmt_fast_int(p, it.i, op.w);
  }
  return true;
}

// REPS fields of Aw (W > 0) in the same way: the text right-justified, or its first W characters.
bool chars_run(char* p, const FmtOp& op, std::span<const FItem> items, std::size_t& next,
               std::size_t reps) {
  const auto w = static_cast<std::size_t>(op.w);
  for (std::size_t r = 0; r < reps; ++r, ++next, p += w) {
    const FItem& it = items[next];
    if (it.kind != FItem::Kind::Text) return false;
    const std::size_t len = std::min(it.text.size(), w);
    std::memset(p, ' ', w - len);
    std::memcpy(p + (w - len), it.text.data(), len);
  }
  return true;
}

// Iw without a minimum digit count, of a width the fast integer editing takes: fields of a fixed
// width, written in place.
bool fixed_width_int(const FmtOp& op) { return op.d < 0 && op.w >= 1 && op.w <= FMT_FAST_INT_W; }

// Whether scale factor K suits OP: Ew.d takes -d < k < d + 2; the other descriptors any k.
bool scale_fits(const FmtOp& op, int k) {
  return op.code != FmtCode::E || (k > -op.d && k < op.d + 2);
}

}  // namespace

// The one walk through the format for N items, shared by the interpreter and the plan builder:
// the scale factor, repeat groups, X, "/", ":", the end of the items and reversion. What it
// meets goes to the visitor V, whose calls return false to stop the walk (the plan builder
// stops at what it cannot plan; the interpreter throws instead):
//   V.text(blanks, p, len)                  literal text, after BLANKS blanks of X
//   V.fields(blanks, op, k, first, reps)    REPS (>= 1) fields of OP under scale factor K for the
//                                           items from FIRST on, after BLANKS blanks of X
//   V.newlines(count)                       record ends: "/", reversion, the end of the statement
//   V.refuse(why)                           a statement the format cannot write
// Blanks of X reach the visitor only in front of more text on the same record.
template <class Visitor>
bool FortranFormat::Impl::walk(std::size_t n, Visitor& v) const {
  if (n > 0 && !has_data) return v.refuse(Stop::NoDataDescriptor);
  std::array<int, FMT_MAX_DEPTH> count{};  // passes left of each open group
  int top = -1;
  int scale = 0;
  std::size_t next = 0;        // next item
  std::size_t pending = 0;     // blanks of X not yet written
  std::size_t pass_start = 0;  // item at the last reversion
  bool reverted = false;
  std::size_t pc = 0;
  for (bool more = true; more;) {
    const FmtOp& op = ops[pc++];
    switch (op.code) {
      case FmtCode::I:
      case FmtCode::F:
      case FmtCode::E:
      case FmtCode::ES:
      case FmtCode::A: {
        const std::size_t reps = std::min(static_cast<std::size_t>(op.rep), n - next);
        if (reps > 0) {
          const int k = op.code == FmtCode::ES ? 1 : scale;
          if (!v.fields(std::exchange(pending, 0), op, k, next, reps)) return false;
          next += reps;
        }
        more = reps == static_cast<std::size_t>(op.rep);  // else the items ran out
        break;
      }
      case FmtCode::X:
        pending += static_cast<std::size_t>(op.w);
        break;
      case FmtCode::Lit:
        if (!v.text(std::exchange(pending, 0), literals.data() + op.lit_off, op.lit_len))
          return false;
        break;
      case FmtCode::Slash:
        pending = 0;
        if (!v.newlines(static_cast<std::size_t>(op.rep))) return false;
        break;
      case FmtCode::Scale:
        scale = op.k;
        break;
      case FmtCode::Begin:
        count[static_cast<std::size_t>(++top)] = op.rep;
        break;
      case FmtCode::End:  // back for the next pass (OP.K is the group's Begin), or out of the group
        if (--count[static_cast<std::size_t>(top)] > 0)
          pc = static_cast<std::size_t>(op.k) + 1;
        else
          --top;
        break;
      case FmtCode::Colon:
        more = next < n;
        break;
      case FmtCode::Finish:
        more = next < n;
        if (more) {
          if (reverted && next == pass_start) return v.refuse(Stop::NoDataAfterReversion);
          pass_start = next;
          reverted = true;
          pending = 0;
          if (!v.newlines(1)) return false;
          pc = static_cast<std::size_t>(reversion);
        }
        break;
    }
  }
  return v.newlines(1);
}

// The walk's visitor that writes the records field by field as it goes, and throws at an item
// of the wrong kind or a statement the format cannot write.
class FortranFormat::Impl::Interpreter {
 public:
  Interpreter(std::string& out, std::size_t hint, std::span<const FItem> items,
              const std::string& source)
      : sink_(out, hint), items_(items), source_(source) {}

  bool text(std::size_t blanks, const char* p, std::size_t len) {
    std::memcpy(sink_.room_after(blanks, len), p, len);
    return true;
  }
  bool newlines(std::size_t count) {
    std::memset(sink_.room(count), '\n', count);
    return true;
  }
  bool fields(std::size_t blanks, const FmtOp& op, int k, std::size_t first, std::size_t reps) {
    const auto w = static_cast<std::size_t>(op.w);
    if (op.code == FmtCode::F || op.code == FmtCode::E || op.code == FmtCode::ES) {
      // A run of real fields, each exactly W characters: room for all of them at once, then
      // each written in place.
      if (items_[first].kind != FItem::Kind::Real) mismatch(op, first);
      if (!scale_fits(op, k))
        throw atmo_error(1, "format",
                         "scale factor " + std::to_string(k) + "P out of range for E" +
                             std::to_string(op.w) + "." + std::to_string(op.d) + " in format " +
                             source_);
      char* p = sink_.room_after(blanks, reps * w);
      const std::size_t taken =
          routed_real_run(p, op, k, route_of(op, k), items_.data() + first, reps, scratch_);
      if (taken < reps) mismatch(op, first + taken);
      return true;
    }
    if (op.code == FmtCode::I && fixed_width_int(op)) {
      std::size_t next = first;
      if (!int_run(sink_.room_after(blanks, reps * w), op, items_, next, reps)) mismatch(op, next);
      return true;
    }
    // I0, Iw.m and A: fields of variable width, each edited and then copied.
    for (std::size_t j = first; j < first + reps; ++j) {
      const FItem& it = items_[j];
      scratch_.clear();
      if (op.code == FmtCode::I) {
        if (it.kind != FItem::Kind::Integer) mismatch(op, j);
        fmt_edit_int(scratch_, it.i, op.w, op.d);
      } else {
        if (it.kind != FItem::Kind::Text) mismatch(op, j);
        fmt_edit_a(scratch_, it.text, op.w);
      }
      std::memcpy(sink_.room_after(std::exchange(blanks, 0), scratch_.size()), scratch_.data(),
                  scratch_.size());
    }
    return true;
  }
  bool refuse(Stop why) {
    if (why == Stop::NoDataDescriptor)
      throw atmo_error(
          1, "format",
          std::to_string(items_.size()) + " items for format without data descriptors " + source_);
    throw atmo_error(1, "format", "no data descriptor after reversion in format " + source_);
  }

 private:
  [[noreturn]] void mismatch(const FmtOp& op, std::size_t item) const {
    const char* d = op.code == FmtCode::I ? "I" : op.code == FmtCode::A ? "A" : "F/E";
    throw atmo_error(1, "format",
                     "item " + std::to_string(item + 1) + " (" + kind_name(items_[item].kind) +
                         ") does not match descriptor " + d + " in format " + source_);
  }

  RecordSink sink_;
  std::span<const FItem> items_;
  const std::string& source_;
  std::string scratch_;  // a field from the general conversions, which append to a string
};

// The walk's visitor that writes the plan of the walk instead, and stops at what a plan does not
// carry: fields of variable width, a scale factor out of range, a statement the format cannot
// write, more than MAX_STEPS steps or MAX_TEXT characters of text.
class FortranFormat::Impl::PlanBuilder {
 public:
  explicit PlanBuilder(Plan& plan) : plan_(plan) {}

  bool text(std::size_t blanks, const char* p, std::size_t len) {
    append(blanks, nullptr, ' ');
    append(len, p, 0);
    return within_limits();
  }
  bool newlines(std::size_t count) {
    append(count, nullptr, '\n');
    return within_limits();
  }
  bool fields(std::size_t blanks, const FmtOp& op, int k, std::size_t first, std::size_t reps) {
    Step st{Step::Real};
    if (op.code == FmtCode::I) {
      if (!fixed_width_int(op)) return false;
      st.kind = Step::Int;
    } else if (op.code == FmtCode::A) {
      if (op.w == 0) return false;
      st.kind = Step::Chars;
    } else {
      if (!scale_fits(op, k)) return false;
      st.k = k;
      st.route = route_of(op, k);
    }
    append(blanks, nullptr, ' ');
    st.op = &op;
    st.count = static_cast<std::uint32_t>(reps);
    st.item = first;
    plan_.steps.push_back(st);
    plan_.length += reps * static_cast<std::size_t>(op.w);
    return within_limits();
  }
  bool refuse(Stop) { return false; }

 private:
  // LEN characters of constant text (from P, or FILL repeated), joined to the Text step before.
  void append(std::size_t len, const char* p, char fill) {
    if (len == 0) return;
    if (plan_.steps.empty() || plan_.steps.back().kind != Step::Text) {
      Step st{Step::Text};
      st.off = static_cast<std::uint32_t>(plan_.text.size());
      plan_.steps.push_back(st);
    }
    if (p != nullptr)
      plan_.text.append(p, len);
    else
      plan_.text.append(len, fill);
    plan_.steps.back().count += static_cast<std::uint32_t>(len);
    plan_.length += len;
  }
  bool within_limits() const {
    return plan_.steps.size() <= MAX_STEPS && plan_.text.size() <= MAX_TEXT;
  }

  Plan& plan_;
};

void FortranFormat::Impl::interpret(std::string& out, std::span<const FItem> items) const {
  if (const std::size_t need = out.size() + record_hint + 1; need > out.capacity())
    out.reserve(std::max(need, 2 * out.capacity()));
  Interpreter v(out, std::min<std::size_t>(record_hint + 1, 1024), items, source);
  walk(items.size(), v);
}

bool FortranFormat::Impl::make_plan(std::size_t n, Plan& plan) const {
  plan.items = n;
  plan.steps.clear();
  plan.text.clear();
  plan.length = 0;
  PlanBuilder v(plan);
  return walk(n, v);
}

const FortranFormat::Impl::Plan* FortranFormat::Impl::plan_for(std::size_t n) {
  PlanCache& c = cache;
  for (std::size_t j = 0; j < c.used; ++j)
    if (c.plans[j].items == n) return c.ok[j] ? &c.plans[j] : nullptr;
  const std::size_t slot = c.used < MAX_PLANS ? c.used++ : c.next++ % MAX_PLANS;
  c.ok[slot] = make_plan(n, c.plans[slot]);
  return c.ok[slot] ? &c.plans[slot] : nullptr;
}

// The records of PLAN appended to OUT; false, with OUT as it was, at an item of the wrong kind
// (the interpreter then writes the partial records and reports it).
bool FortranFormat::Impl::run_plan(const Plan& plan, std::string& out,
                                   std::span<const FItem> items) const {
  const std::size_t len0 = out.size();
  out.resize(len0 + plan.length);
  char* p = out.data() + len0;
  std::string scratch;
  for (const Step& st : plan.steps) {
    std::size_t next = st.item;
    switch (st.kind) {
      case Step::Text:
        copy_text(p, plan.text.data() + st.off, st.count);
        p += st.count;
        continue;
      case Step::Real:
        if (routed_real_run(p, *st.op, st.k, st.route, items.data() + st.item, st.count, scratch) <
            st.count)
          break;
        p += st.count * static_cast<std::size_t>(st.op->w);
        continue;
      case Step::Int:
        if (!int_run(p, *st.op, items, next, st.count)) break;
        p += st.count * static_cast<std::size_t>(st.op->w);
        continue;
      case Step::Chars:
        if (!chars_run(p, *st.op, items, next, st.count)) break;
        p += st.count * static_cast<std::size_t>(st.op->w);
        continue;
    }
    out.resize(len0);
    return false;
  }
  return true;
}

void FortranFormat::write_to(std::string& out, std::span<const FItem> items) {
  if (const Impl::Plan* plan = impl_->plan_for(items.size());
      plan != nullptr && impl_->run_plan(*plan, out, items))
    return;
  impl_->interpret(out, items);
}

void FortranFormat::write_unplanned_to(std::string& out, std::span<const FItem> items) const {
  impl_->interpret(out, items);
}

void append_chars(std::vector<FItem>& items, const char* p, int n) {
  for (int j = 0; j < n; ++j) items.emplace_back(std::string_view(p + j, 1));
}

std::string fortran_write(std::string_view format, std::span<const FItem> items) {
  return FortranFormat(format).write(items);
}

}  // namespace atmotab
