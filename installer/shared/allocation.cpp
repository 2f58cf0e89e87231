// Global allocation for the Windows program. Nothing in it catches an
// exception, so a failed plain new cannot be handed back to the flow: it
// ends the run as a failed one, with the error box and exit code 1. The
// nothrow forms return null. Defined here, they keep libstdc++'s exception
// machinery (unwinder, exception objects) out of the program.

#include <cstdlib>
#include <new>

#include "flow/failed_run.h"

namespace {

void* Allocate(std::size_t size) noexcept { return std::malloc(size != 0 ? size : 1); }

void* AllocateOrFail(std::size_t size) noexcept {
  void* memory = Allocate(size);
  if (memory == nullptr) EndFailedRun();
  return memory;
}

}  // namespace

void* operator new(std::size_t size) { return AllocateOrFail(size); }
void* operator new[](std::size_t size) { return AllocateOrFail(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
