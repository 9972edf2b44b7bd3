// The tagged allocation forms: new (__FILE__, __LINE__) T. The tag names the
// place that asked; the allocator does not keep it. Defined with the global
// operators in core/always/allocator.cpp.
#pragma once

#include <cstddef>
#include <new>

void* operator new(std::size_t size, const char* tag, int line);
void* operator new[](std::size_t size, const char* tag, int line);
void* operator new(std::size_t size, const std::nothrow_t&, const char* tag, int line) noexcept;
void* operator new[](std::size_t size, const std::nothrow_t&, const char* tag, int line) noexcept;
// Called only when a constructor throws inside a tagged new.
void operator delete(void* p, const char* tag, int line) noexcept;
void operator delete[](void* p, const char* tag, int line) noexcept;
void operator delete(void* p, const std::nothrow_t&, const char* tag, int line) noexcept;
void operator delete[](void* p, const std::nothrow_t&, const char* tag, int line) noexcept;
