#pragma once
// An array of plain values that grows at its end without copying what it holds. Past a few
// pages it lives in pages of its own that the system moves to a larger place (mremap), so a
// channel of millions of items grows without the doubling copy of a std::vector, which copied
// and touched hundreds of megabytes at once while records were put back into a large buffer.
#include <cstddef>
#include <span>
#include <type_traits>
#include <utility>

namespace growingarray {
// Memory of at least `bytes` in place of `old` (null, or `oldBytes` from an earlier call), its
// first `keep` bytes kept; returns the memory and sets `bytes` to what it holds. Throws
// std::bad_alloc. Release(p, bytes) frees it.
void* Grow(void* old, size_t oldBytes, size_t keep, size_t& bytes);
void Release(void* p, size_t bytes);
} // namespace growingarray

template <class T> class GrowingArray {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    GrowingArray() = default;
    GrowingArray(GrowingArray&& o) noexcept { swap(o); }
    GrowingArray& operator=(GrowingArray&& o) noexcept {
        GrowingArray(std::move(o)).swap(*this);
        return *this;
    }
    GrowingArray(const GrowingArray&) = delete;
    GrowingArray& operator=(const GrowingArray&) = delete;
    ~GrowingArray() { growingarray::Release(data_, bytes_); }

    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const T* data() const { return data_; }
    const T* begin() const { return data_; }
    const T* end() const { return data_ + size_; }
    const T& operator[](size_t i) const { return data_[i]; }
    T& operator[](size_t i) { return data_[i]; }
    const T& back() const { return data_[size_ - 1]; }
    operator std::span<const T>() const { return {data_, size_}; }

    void push_back(const T& v) {
        // The memory may hold a part of an item more than whole items (it comes in pages).
        if ((size_ + 1) * sizeof(T) > bytes_)
            reserve(size_ < 16 ? 16 : 2 * size_);
        data_[size_++] = v;
    }
    // Room for n items in all.
    void reserve(size_t n) {
        if (n * sizeof(T) > bytes_) {
            size_t bytes = n * sizeof(T);
            data_ = static_cast<T*>(growingarray::Grow(data_, bytes_, size_ * sizeof(T), bytes));
            bytes_ = bytes;
        }
    }
    // n items: the last ones dropped, or new ones left unset, to be written.
    void resize_for_overwrite(size_t n) {
        reserve(n);
        size_ = n;
    }
    // Empty, its memory freed.
    void clear() { GrowingArray().swap(*this); }
    void swap(GrowingArray& o) noexcept {
        std::swap(data_, o.data_);
        std::swap(size_, o.size_);
        std::swap(bytes_, o.bytes_);
    }

private:
    T* data_ = nullptr;
    size_t size_ = 0;
    size_t bytes_ = 0;
};
