// A buffer of bytes whose start is aligned to a power of two, from the
// plain heap: aligned operator new pairs with a delete the MinGW runtime
// mishandles in a thread's exit, and a read buffer that starts on a page
// (or a cache line, for a kernel's loads) is copied into several times faster
// by the system than one 16 bytes past it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace quillora {

class AlignedBuffer {
 public:
  AlignedBuffer() = default;
  // bytes, starting at a multiple of alignment (a power of two). Raises
  // std::bad_alloc when there is no memory.
  AlignedBuffer(std::size_t bytes, std::size_t alignment) : raw_(std::malloc(bytes + alignment - 1)) {
    if (raw_ == nullptr) throw std::bad_alloc();
    const auto at = reinterpret_cast<std::uintptr_t>(raw_);
    data_ = reinterpret_cast<std::uint8_t*>((at + alignment - 1) & ~static_cast<std::uintptr_t>(alignment - 1));
  }
  ~AlignedBuffer() { std::free(raw_); }
  AlignedBuffer(AlignedBuffer&& other) noexcept : raw_(other.raw_), data_(other.data_) {
    other.raw_ = nullptr;
    other.data_ = nullptr;
  }
  AlignedBuffer& operator=(AlignedBuffer&& other) noexcept {
    if (this != &other) {
      std::free(raw_);
      raw_ = other.raw_;
      data_ = other.data_;
      other.raw_ = nullptr;
      other.data_ = nullptr;
    }
    return *this;
  }
  AlignedBuffer(const AlignedBuffer&) = delete;
  AlignedBuffer& operator=(const AlignedBuffer&) = delete;

  std::uint8_t* get() const { return data_; }

 private:
  void* raw_ = nullptr;
  std::uint8_t* data_ = nullptr;
};

// The alignment of a read buffer: a page.
inline constexpr std::size_t kPageAlignment = 4096;

}  // namespace quillora
