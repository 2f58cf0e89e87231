// Global allocation for the Windows program. Nothing in it catches an
// exception, so a failed plain new ends the process at once, as an uncaught
// std::bad_alloc would; the nothrow forms return null. Defined here, they
// keep libstdc++'s exception machinery (unwinder, exception objects) out of
// the program.

#include <cstdlib>
#include <new>

namespace {

void* Allocate(std::size_t size) noexcept { return std::malloc(size != 0 ? size : 1); }

void* AllocateOrAbort(std::size_t size) noexcept {
  void* memory = Allocate(size);
  if (memory == nullptr) std::abort();
  return memory;
}

}  // namespace

void* operator new(std::size_t size) { return AllocateOrAbort(size); }
void* operator new[](std::size_t size) { return AllocateOrAbort(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
