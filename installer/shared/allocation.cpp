// Global allocation for the Windows program. Nothing in it catches an
// exception, so a failed new cannot be handed back to the flow: it ends the
// run as a failed one, with the error box and exit code 1. Defined here, new
// and delete keep libstdc++'s exception machinery (unwinder, exception
// objects) out of the program. There is no nothrow new: the program links no
// libstdc++, which holds std::nothrow; memory that may be refused comes from
// malloc.

#include <cstdlib>
#include <new>

#include "flow/failed_run.h"

namespace {

void* AllocateOrFail(std::size_t size) noexcept {
  void* memory = std::malloc(size != 0 ? size : 1);
  if (memory == nullptr) EndFailedRun();
  return memory;
}

}  // namespace

void* operator new(std::size_t size) { return AllocateOrFail(size); }
void* operator new[](std::size_t size) { return AllocateOrFail(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
