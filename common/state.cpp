// Allocation of the run state as a fresh anonymous mapping in whole 2 MB pages. The system hands
// such memory out zero, so the large arrays of the state (FreshArr) need no clearing when a run
// is made. The huge-page advice makes a model's first touch of the state cost one page fault per
// 2 MB instead of one per 4 KB (a 99-depth model writes most of the 6 MB, and a thousand 4 KB
// faults cost more than the whole start-up on virtual machines); it is only a request, and where
// the system has no such pages the mapping is an ordinary one. Where there is no mmap, calloc gives
// the same zero storage.
#include "common/state.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#if defined(__unix__) || defined(__APPLE__)
#include <sys/mman.h>
#define ATMOTAB_MMAP 1
#endif

namespace atmotab {

#if ATMOTAB_MMAP
namespace {
constexpr std::size_t HUGE_PAGE = std::size_t{2} << 20;  // 2 MB

std::size_t mapped_size(std::size_t size) { return (size + HUGE_PAGE - 1) / HUGE_PAGE * HUGE_PAGE; }
}  // namespace

void* Run::operator new(std::size_t size) {
  // Map one huge page more than needed and unmap the ends, so that the state starts on a 2 MB
  // boundary and every page of it can be a huge one.
  const std::size_t n = mapped_size(size);
  void* m =
      mmap(nullptr, n + HUGE_PAGE, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (m == MAP_FAILED) throw std::bad_alloc();
  const auto start = reinterpret_cast<std::uintptr_t>(m);
  const std::uintptr_t aligned = (start + HUGE_PAGE - 1) / HUGE_PAGE * HUGE_PAGE;
  if (aligned > start) munmap(m, aligned - start);
  if (aligned + n < start + n + HUGE_PAGE)
    munmap(reinterpret_cast<void*>(aligned + n), start + HUGE_PAGE - aligned);
  void* p = reinterpret_cast<void*>(aligned);
#if defined(MADV_HUGEPAGE)
  madvise(p, n, MADV_HUGEPAGE);
#endif
  return p;
}

void Run::operator delete(void* p, std::size_t size) noexcept { munmap(p, mapped_size(size)); }
#else
void* Run::operator new(std::size_t size) {
  void* p = std::calloc(1, size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

void Run::operator delete(void* p, std::size_t) noexcept { std::free(p); }
#endif

std::unique_ptr<Run> make_run(std::ostream& listing) {
  return std::unique_ptr<Run>(new Run(listing));
}

RunSpace::~RunSpace() {
  if (storage_ != nullptr) Run::operator delete(storage_, sizeof(Run));
}

void RunSpace::Release::operator()(Run* run) const noexcept {
  run->~Run();
  space->storage_ = run;
}

RunSpace::Ptr RunSpace::make_run(std::ostream& listing) {
  void* p = storage_;
  storage_ = nullptr;
  if (p == nullptr) {
    p = Run::operator new(sizeof(Run));
  } else {
    std::memset(p, 0, sizeof(Run));
#if defined(__GNUC__)
    // The constructor below starts the lifetime of an object whose storage the compiler may take
    // as undefined, and so drop the stores before it; this barrier keeps the zero.
    asm volatile("" : : "r"(p) : "memory");
#endif
  }
  try {
    return Ptr(::new (p) Run(listing), Release{this});
  } catch (...) {
    storage_ = p;
    throw;
  }
}

}  // namespace atmotab
