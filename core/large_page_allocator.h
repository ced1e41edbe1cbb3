#pragma once

// An allocator for the program's big arrays (patterns, weights, the text of a training
// file). Arrays of 2 MB or more are mapped straight from the system on 2 MB boundaries
// and marked for transparent huge pages where the system offers them: filling such an
// array then takes a few hundred page faults instead of hundreds of thousands, and
// sweeping it needs far fewer address translations. Smaller arrays use the ordinary heap.
// Failure throws std::bad_alloc, as operator new does.

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace core {

namespace large_pages {

constexpr std::size_t HugePage = std::size_t{2} << 20;

inline std::size_t mappedSize(std::size_t bytes) {
    return (bytes + HugePage - 1) & ~(HugePage - 1);
}

inline void* map(std::size_t bytes) {
    const std::size_t size = mappedSize(bytes);
    // Map one huge page more than needed and trim, so the array starts on a boundary.
    void* raw = ::mmap(nullptr, size + HugePage, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) {
        throw std::bad_alloc();
    }
    char* const start = static_cast<char*>(raw);
    const std::size_t skip =
        (HugePage - reinterpret_cast<std::uintptr_t>(raw) % HugePage) % HugePage;
    char* const array = start + skip;
    if (skip > 0) {
        ::munmap(start, skip);
    }
    if (skip < HugePage) {
        ::munmap(array + size, HugePage - skip);
    }
#if defined(MADV_HUGEPAGE)
    ::madvise(array, size, MADV_HUGEPAGE);  // advice only: without it, ordinary pages
#endif
    return array;
}

inline void unmap(void* array, std::size_t bytes) {
    ::munmap(array, mappedSize(bytes));
}

}  // namespace large_pages

template <class T>
struct LargePageAllocator {
    using value_type = T;

    LargePageAllocator() = default;
    template <class U>
    LargePageAllocator(const LargePageAllocator<U>& /*other*/) {
    }  // NOLINT(google-explicit-constructor)

    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(PTRDIFF_MAX) / sizeof(T)) {
            throw std::bad_alloc();
        }
        const std::size_t bytes = n * sizeof(T);
        if (bytes >= large_pages::HugePage) {
            return static_cast<T*>(large_pages::map(bytes));
        }
        return static_cast<T*>(::operator new (bytes, std::align_val_t{alignof(T)}));
    }

    void deallocate(T* p, std::size_t n) {
        const std::size_t bytes = n * sizeof(T);
        if (bytes >= large_pages::HugePage) {
            large_pages::unmap(p, bytes);
        } else {
            ::operator delete (p, std::align_val_t{alignof(T)});
        }
    }

    template <class U>
    bool operator==(const LargePageAllocator<U>& /*other*/) const {
        return true;
    }
};

// An array of doubles that starts zero without a pass to clear it: big arrays are fresh
// mappings, which the system hands out zeroed, and small ones come from calloc. Filling
// a big table once (the loader does) then touches each page only once.
class ZeroedDoubles {
  public:
    ZeroedDoubles() = default;
    // Throws std::bad_alloc.
    explicit ZeroedDoubles(std::size_t count) : m_size(count) {
        if (count > static_cast<std::size_t>(PTRDIFF_MAX) / sizeof(double)) {
            throw std::bad_alloc();
        }
        if (bytes() >= large_pages::HugePage) {
            m_data = static_cast<double*>(large_pages::map(bytes()));
        } else if (count > 0) {
            m_data = static_cast<double*>(std::calloc(count, sizeof(double)));
            if (m_data == nullptr) {
                throw std::bad_alloc();
            }
        }
    }
    ZeroedDoubles(const ZeroedDoubles& other) : ZeroedDoubles(other.m_size) {
        if (m_size > 0) {
            std::memcpy(m_data, other.m_data, bytes());
        }
    }
    ZeroedDoubles(ZeroedDoubles&& other) noexcept
        : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)) {}
    ZeroedDoubles& operator=(ZeroedDoubles other) noexcept {
        std::swap(m_data, other.m_data);
        std::swap(m_size, other.m_size);
        return *this;
    }
    ~ZeroedDoubles() {
        if (m_data == nullptr) {
            return;
        }
        if (bytes() >= large_pages::HugePage) {
            large_pages::unmap(m_data, bytes());
        } else {
            std::free(m_data);
        }
    }

    double* data() { return m_data; }
    const double* data() const { return m_data; }
    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    double& operator[](std::size_t k) { return m_data[k]; }
    const double& operator[](std::size_t k) const { return m_data[k]; }

  private:
    std::size_t bytes() const { return m_size * sizeof(double); }

    double* m_data = nullptr;
    std::size_t m_size = 0;
};

}  // namespace core
