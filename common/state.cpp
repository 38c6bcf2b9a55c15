// Storage of the run state and the layer workspaces as anonymous mappings in whole 2 MB pages
// (PagedStorage, common/state.h), the first model's start and the model counter. Where there is no
// mmap, the storage comes from malloc.
#include "common/state.h"

#include <cstdint>
#include <cstdlib>
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

void* PagedStorage::operator new(std::size_t size) {
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

void PagedStorage::operator delete(void* p, std::size_t size) noexcept {
  munmap(p, mapped_size(size));
}
#else
void* PagedStorage::operator new(std::size_t size) {
  void* p = std::malloc(size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

void PagedStorage::operator delete(void* p, std::size_t) noexcept { std::free(p); }
#endif

std::unique_ptr<Run> make_run(std::ostream& listing) {
  return std::unique_ptr<Run>(new Run(listing));
}

void start_model(Run& run) { run.TEMP.ITEMP.n_ += 1; }

}  // namespace atmotab
