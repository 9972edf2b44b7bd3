// Every global operator new and delete of the program, served by mimalloc.
// This folder is linked into every executable as objects, so the operators
// replace the C++ library's whether or not anything names them.
//
// In the sanitizer builds (NIMBREL_NO_ALLOCATOR) the standard operators are
// left to the sanitizer runtime, which must see every allocation; only the
// tagged forms are defined there, on top of the standard ones.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "core/memory/allocator.h"

#ifndef NIMBREL_NO_ALLOCATOR
#include <mimalloc.h>

namespace {

// The packaged mimalloc can hand out a block that misses the asked alignment
// when the size equals a power-of-two size class (256 bytes at 256, for
// one); asking for a byte more moves the request to a class that keeps it.
void* aligned_block(std::size_t size, std::size_t align) {
  for (std::size_t extra = 0; extra <= align; extra = extra ? extra * 2 : 1) {
    void* p = mi_malloc_aligned(size + extra, align);
    if (!p || (reinterpret_cast<std::uintptr_t>(p) & (align - 1)) == 0) return p;
    mi_free(p);
  }
  return nullptr;
}

// Retries through the installed new-handler until the allocator gives a
// block; with no handler left the request fails with std::bad_alloc.
void* core_new(std::size_t size, std::size_t align) {
  if (size == 0) size = 1;
  for (;;) {
    void* p = align ? aligned_block(size, align) : mi_malloc(size);
    if (p) return p;
    std::new_handler handler = std::get_new_handler();
    if (!handler) throw std::bad_alloc();
    handler();
  }
}

void* core_new_nothrow(std::size_t size, std::size_t align) noexcept {
  try {
    return core_new(size, align);
  } catch (...) {
    return nullptr;
  }
}

}  // namespace

// [SECTION] Plain forms
void* operator new(std::size_t size) { return core_new(size, 0); }
void* operator new[](std::size_t size) { return core_new(size, 0); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return core_new_nothrow(size, 0);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return core_new_nothrow(size, 0);
}
void operator delete(void* p) noexcept { mi_free(p); }
void operator delete[](void* p) noexcept { mi_free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { mi_free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { mi_free(p); }
void operator delete(void* p, std::size_t) noexcept { mi_free(p); }
void operator delete[](void* p, std::size_t) noexcept { mi_free(p); }

// [SECTION] Aligned forms
void* operator new(std::size_t size, std::align_val_t al) {
  return core_new(size, static_cast<std::size_t>(al));
}
void* operator new[](std::size_t size, std::align_val_t al) {
  return core_new(size, static_cast<std::size_t>(al));
}
void* operator new(std::size_t size, std::align_val_t al, const std::nothrow_t&) noexcept {
  return core_new_nothrow(size, static_cast<std::size_t>(al));
}
void* operator new[](std::size_t size, std::align_val_t al, const std::nothrow_t&) noexcept {
  return core_new_nothrow(size, static_cast<std::size_t>(al));
}
// mimalloc finds the block of an aligned pointer by itself.
void operator delete(void* p, std::align_val_t) noexcept { mi_free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { mi_free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { mi_free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { mi_free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { mi_free(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { mi_free(p); }

#endif  // NIMBREL_NO_ALLOCATOR

// [SECTION] Tagged forms
void* operator new(std::size_t size, const char*, int) { return ::operator new(size); }
void* operator new[](std::size_t size, const char*, int) { return ::operator new[](size); }
void* operator new(std::size_t size, const std::nothrow_t& nt, const char*, int) noexcept {
  return ::operator new(size, nt);
}
void* operator new[](std::size_t size, const std::nothrow_t& nt, const char*, int) noexcept {
  return ::operator new[](size, nt);
}
void operator delete(void* p, const char*, int) noexcept { ::operator delete(p); }
void operator delete[](void* p, const char*, int) noexcept { ::operator delete[](p); }
void operator delete(void* p, const std::nothrow_t&, const char*, int) noexcept {
  ::operator delete(p);
}
void operator delete[](void* p, const std::nothrow_t&, const char*, int) noexcept {
  ::operator delete[](p);
}
