// Builds an image file in memory from fuzzer bytes: the size comes from the
// first bytes, the rest is laid over the windows the code under test reads,
// so that small inputs reach header candidates deep inside large files.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

#include "rom/image_reader.h"

namespace ql::fuzz {

struct Window {
  std::size_t offset;
  std::size_t length;
};

class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint32_t Take(int bytes) {
    std::uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) value = (value << 8) | (pos_ < size_ ? data_[pos_++] : 0);
    return value;
  }
  // The next n bytes (zeros once the input is used up).
  void Fill(std::uint8_t* out, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>(Take(1));
  }
  // Remaining bytes, spread over the windows in order, the rest filled with zeros.
  std::vector<std::uint8_t> Image(std::size_t imageSize, std::initializer_list<Window> windows) {
    std::vector<std::uint8_t> image(imageSize, 0);
    for (const Window& w : windows) {
      for (std::size_t i = 0; i < w.length && pos_ < size_; ++i) {
        if (w.offset + i < imageSize) image[w.offset + i] = data_[pos_];
        ++pos_;
      }
    }
    return image;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

class SparseImageReader final : public ImageReader {
 public:
  SparseImageReader(FuzzInput& input, std::uint32_t imageSize, std::initializer_list<Window> windows)
      : size_(imageSize) {
    for (const Window& w : windows) {
      std::vector<std::uint8_t> bytes(w.length);
      input.Fill(bytes.data(), bytes.size());
      windows_.push_back({w.offset, std::move(bytes)});
    }
  }
  std::uint32_t Size() const override { return size_; }
  std::size_t ReadAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t count) override {
    if (offset >= size_) return 0;
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, size_ - offset));
    std::fill(buffer, buffer + n, 0);
    for (const auto& [start, bytes] : windows_) {
      for (std::size_t i = 0; i < bytes.size(); ++i) {
        const std::uint64_t at = start + i;
        if (at >= offset && at < offset + n) buffer[at - offset] = bytes[i];
      }
    }
    return n;
  }

 private:
  std::uint32_t size_;
  std::vector<std::pair<std::size_t, std::vector<std::uint8_t>>> windows_;
};

}  // namespace ql::fuzz
