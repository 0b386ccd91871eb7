#include "clientfiles/large_buffer.h"

#include <sys/mman.h>

#include <cstdint>

namespace kestrel {

namespace {

constexpr std::size_t kLargePageBytes = std::size_t{2} << 20;

// Large pages only fill whole, aligned 2 MiB ranges, so a mapping is rounded
// up to them and placed at such a boundary.
std::size_t MappedBytes(std::size_t bytes) {
    return (bytes + kLargePageBytes - 1) / kLargePageBytes * kLargePageBytes;
}

}  // namespace

void* AllocateLargeBuffer(std::size_t bytes) {
    if (bytes < kLargeBufferBytes) {
        return ::operator new(bytes);
    }
    const std::size_t mapped = MappedBytes(bytes);
    if (mapped < bytes) {
        throw std::bad_alloc();
    }
    // Mapped with room to move the start up to the next boundary; the parts
    // before and after are given back.
    const std::size_t reserved = mapped + kLargePageBytes;
    void* region = ::mmap(nullptr, reserved, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                          -1, 0);
    if (region == MAP_FAILED) {
        throw std::bad_alloc();
    }
    auto* start = static_cast<unsigned char*>(region);
    const auto address = reinterpret_cast<std::uintptr_t>(start);
    const std::size_t lead = (kLargePageBytes - address % kLargePageBytes) % kLargePageBytes;
    if (lead > 0) {
        ::munmap(start, lead);
    }
    const std::size_t trail = reserved - lead - mapped;
    if (trail > 0) {
        ::munmap(start + lead + mapped, trail);
    }
    // Only a hint: where large pages are off the memory is ordinary.
    ::madvise(start + lead, mapped, MADV_HUGEPAGE);
    return start + lead;
}

void FreeLargeBuffer(void* memory, std::size_t bytes) noexcept {
    if (memory == nullptr) {
        return;
    }
    if (bytes < kLargeBufferBytes) {
        ::operator delete(memory);
        return;
    }
    ::munmap(memory, MappedBytes(bytes));
}

}  // namespace kestrel
