// Allocation of the run state in 2 MB pages. Clearing a freshly mapped 4 MB object page by page
// costs about a thousand page faults, a large part of the start-up of a run on virtual machines;
// with the transparent huge pages of Linux it costs three. The advice is only a request: where the
// system has no such pages the allocation is an ordinary one.
#include "common/state.h"

#include <cstdlib>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace atmotab {

void* Run::operator new(std::size_t size) {
  constexpr std::size_t PAGE = std::size_t{2} << 20;  // 2 MB
  const std::size_t n = (size + PAGE - 1) / PAGE * PAGE;
  void* p = std::aligned_alloc(PAGE, n);
  if (p == nullptr) throw std::bad_alloc();
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  madvise(p, n, MADV_HUGEPAGE);
#endif
  return p;
}

void Run::operator delete(void* p) noexcept { std::free(p); }

}  // namespace atmotab
