// The ground every folder of the library stands on: the one allocation seam, scratch holders
// over it, and the assertion macro for internal consistency checks.
//
// Every block the library allocates or frees goes through allocate / allocate_zeroed /
// reallocate / release, which forward to the C allocator. Test builds link the same code and
// can make the n-th allocation from now on fail, and count the blocks still live, through the
// functions of `testing` below: no replacement of the C allocator is needed, so those tests
// also run under the sanitizers. Disarmed, the seam costs one relaxed atomic load per call.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace tvl::mem {

void *allocate(std::size_t size) noexcept;
void *allocate_zeroed(std::size_t count, std::size_t size) noexcept;
void *reallocate(void *block, std::size_t size) noexcept;
void release(void *block) noexcept;

// A typed allocation of `count` zero-filled objects (null when it cannot be had).
template <class T>
T *allocate_array(std::size_t count) noexcept {
    return static_cast<T *>(allocate_zeroed(count, sizeof(T)));
}

// A buffer of T: an inline area of `Inline` elements, or a heap block from the seam for larger
// sizes, released with the holder. T must be trivially copyable (limbs, bytes, digits).
template <class T, std::size_t Inline>
class Scratch {
  public:
    Scratch() = default;
    Scratch(const Scratch &) = delete;
    Scratch &operator=(const Scratch &) = delete;
    ~Scratch() { drop(); }

    // Provides n elements, zero-filled when `zeroed`; false when the heap block cannot be had
    // (the holder is then empty).
    bool reserve(std::size_t n, bool zeroed = true) noexcept {
        drop();
        if (n > Inline) {
            T *p =
                static_cast<T *>(zeroed ? allocate_zeroed(n, sizeof(T)) : allocate(n * sizeof(T)));
            if (p == nullptr) return false;
            data_ = p;
        } else if (zeroed && n > 0) {
            std::memset(inline_, 0, n * sizeof(T));
        }
        size_ = n;
        return true;
    }

    T *data() noexcept { return data_; }
    const T *data() const noexcept { return data_; }
    std::size_t size() const noexcept { return size_; }

  private:
    void drop() noexcept {
        if (data_ != inline_) release(data_);
        data_ = inline_;
        size_ = 0;
    }

    T inline_[Inline];
    T *data_ = inline_;
    std::size_t size_ = 0;
};

// Control of the seam for tests of memory exhaustion (not part of the exported interface).
namespace testing {
// From now on the first `n` allocations succeed and every later one fails, until disarm().
void fail_after(long n) noexcept;
void disarm() noexcept;
// Counts blocks handed out minus blocks released between the two calls; the second gives
// the count.
void start_counting() noexcept;
long stop_counting() noexcept;
}  // namespace testing

}  // namespace tvl::mem

namespace tvl {
// Reports a failed internal consistency check (never reached by input) and aborts.
[[noreturn]] void assertion_failed(const char *file, const char *function,
                                   const char *condition) noexcept;
}  // namespace tvl

// Checks a condition that built-in tables and the library's own preconditions guarantee; a
// failure names the source file, the function and the condition.
#define TVL_ASSERT(condition) \
    ((condition) ? static_cast<void>(0) : ::tvl::assertion_failed(__FILE__, __func__, #condition))
