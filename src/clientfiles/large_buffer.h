#pragma once

// Memory for the large arrays of drawing (whole map files, images of whole
// maps): blocks of a megabyte and more are mapped as their own anonymous
// memory, asking the system for 2 MiB pages. Touching fresh memory a 4 KiB
// page at a time costs a page fault each, which is slow on some machines
// (a 100 MB image took longer to fault in than to paint); large pages need
// 512 times fewer. Elements are left uninitialised unless given a value, so
// that a buffer about to be read into or painted over is not written twice.

#include <cstddef>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace kestrel {

// Allocates bytes of memory as above (large pages for kLargeBufferBytes and
// more, else operator new); throws std::bad_alloc when there is none.
void* AllocateLargeBuffer(std::size_t bytes);
// Frees memory of AllocateLargeBuffer, given the same size.
void FreeLargeBuffer(void* memory, std::size_t bytes) noexcept;

inline constexpr std::size_t kLargeBufferBytes = std::size_t{1} << 20;

template <typename T>
class LargeBufferAllocator {
public:
    using value_type = T;

    LargeBufferAllocator() noexcept = default;
    template <typename U>
    LargeBufferAllocator(const LargeBufferAllocator<U>&) noexcept {}

    T* allocate(std::size_t count) {
        if (count > static_cast<std::size_t>(-1) / sizeof(T)) {
            throw std::bad_alloc();
        }
        return static_cast<T*>(AllocateLargeBuffer(count * sizeof(T)));
    }
    void deallocate(T* memory, std::size_t count) noexcept {
        FreeLargeBuffer(memory, count * sizeof(T));
    }

    // Default-initialises (leaves trivial types unset) instead of zeroing.
    template <typename U>
    void construct(U* at) noexcept(std::is_nothrow_default_constructible_v<U>) {
        ::new (static_cast<void*>(at)) U;
    }
    template <typename U, typename... Args>
    void construct(U* at, Args&&... args) {
        ::new (static_cast<void*>(at)) U(std::forward<Args>(args)...);
    }

    template <typename U>
    friend bool operator==(const LargeBufferAllocator&, const LargeBufferAllocator<U>&) noexcept {
        return true;
    }
};

template <typename T>
using LargeVector = std::vector<T, LargeBufferAllocator<T>>;

}  // namespace kestrel
