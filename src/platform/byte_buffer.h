// Byte strings that fontctl builds at run time, in memory from the C runtime's
// heap. The containers of the C++ library are not used: they would bring its
// exception machinery into a program that throws nothing.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>

namespace fontctl {

// Frees a buffer of any element type that came from the C runtime's heap.
struct FreeBytes {
    template <typename Element> void operator()(Element* bytes) const { std::free(bytes); }
};

using ByteBuffer = std::unique_ptr<char[], FreeBytes>;

// The exit status when memory runs out (ERROR_NOT_ENOUGH_MEMORY). No result
// code has been written by then.
constexpr int OutOfMemoryExitStatus = 8;

// A buffer of `size` bytes. When the heap cannot give them the process ends
// at once with OutOfMemoryExitStatus.
ByteBuffer AllocateBytes(std::size_t size);

}  // namespace fontctl
