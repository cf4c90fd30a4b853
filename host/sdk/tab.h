#pragma once
// The host's table: a header holding the element count followed by the
// elements, in one heap block. A table that was never allocated counts 0
// elements. Resizing keeps the first entries; entries added by a resize are
// value-initialised (zero / null), and the operation that resized gives them
// their real values. Only trivially copyable element types are allowed, as in
// the host.

#include <cassert>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

namespace tessary::host {

namespace test {
// For tests only: how many more table allocations succeed; once it is 0,
// every allocation fails as if memory were exhausted, until it is set again.
// Negative, the default: no failure.
inline int tabAllocationsLeft = -1;
}  // namespace test

template <class T>
class Tab {
  static_assert(std::is_trivially_copyable_v<T>, "Tab holds plain values only");

 public:
  Tab() = default;
  Tab(const Tab& other) { CopyFrom(other); }
  Tab& operator=(const Tab& other) {
    if (this != &other) {
      Free();
      CopyFrom(other);
    }
    return *this;
  }
  Tab(Tab&& other) noexcept : hdr_(other.hdr_) { other.hdr_ = nullptr; }
  Tab& operator=(Tab&& other) noexcept {
    if (this != &other) {
      Free();
      hdr_ = other.hdr_;
      other.hdr_ = nullptr;
    }
    return *this;
  }
  ~Tab() { Free(); }

  // Number of entries; 0 for a table that was never allocated.
  int Count() const noexcept { return hdr_ ? hdr_->count : 0; }

  // Sets the number of entries to n (n < 0 counts as 0), keeping the first
  // min(n, Count()) entries. Returns false, leaving the table unchanged, when
  // memory cannot be had.
  bool SetCount(int n) {
    if (n < 0) n = 0;
    if (n == Count()) {
      if (!hdr_ && !Allocate(0)) return false;
      return true;
    }
    if (n > Capacity() && !Allocate(n)) return false;
    const int old = hdr_->count;
    if (n > old) {
      for (int i = old; i < n; ++i) new (Data() + i) T{};
    }
    hdr_->count = n;
    return true;
  }
  bool Resize(int n) { return SetCount(n); }

  // Frees the storage: the table counts 0 and is no longer allocated.
  void Free() noexcept {
    std::free(hdr_);
    hdr_ = nullptr;
  }

  T& operator[](int i) noexcept {
    assert(i >= 0 && i < Count());
    return Data()[i];
  }
  const T& operator[](int i) const noexcept {
    assert(i >= 0 && i < Count());
    return Data()[i];
  }
  T* Addr(int i) noexcept { return hdr_ ? Data() + i : nullptr; }
  const T* Addr(int i) const noexcept { return hdr_ ? Data() + i : nullptr; }

 private:
  struct Header {
    int count;
    int capacity;
  };
  // Elements start after the header, aligned for T.
  static constexpr std::size_t kDataOffset =
      (sizeof(Header) + alignof(T) - 1) / alignof(T) * alignof(T);

  T* Data() noexcept { return reinterpret_cast<T*>(reinterpret_cast<unsigned char*>(hdr_) + kDataOffset); }
  const T* Data() const noexcept {
    return reinterpret_cast<const T*>(reinterpret_cast<const unsigned char*>(hdr_) + kDataOffset);
  }
  int Capacity() const noexcept { return hdr_ ? hdr_->capacity : 0; }

  bool Allocate(int capacity) {
    if (test::tabAllocationsLeft == 0) return false;
    if (test::tabAllocationsLeft > 0) --test::tabAllocationsLeft;
    const std::size_t bytes = kDataOffset + sizeof(T) * static_cast<std::size_t>(capacity);
    void* block = std::realloc(hdr_, bytes == 0 ? 1 : bytes);
    if (!block) return false;
    const bool fresh = hdr_ == nullptr;
    hdr_ = static_cast<Header*>(block);
    if (fresh) hdr_->count = 0;
    hdr_->capacity = capacity;
    return true;
  }

  void CopyFrom(const Tab& other) {
    hdr_ = nullptr;
    if (!other.hdr_) return;
    if (!Allocate(other.Count())) return;
    hdr_->count = other.Count();
    if (other.Count() > 0) std::memcpy(static_cast<void*>(Data()), other.Data(), sizeof(T) * static_cast<std::size_t>(other.Count()));
  }

  Header* hdr_ = nullptr;
};

}  // namespace tessary::host
