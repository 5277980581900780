// Positioned reads on an image, from a file or from memory, so that the
// classification and the header searches run the same on both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

namespace ql {

class ImageReader {
 public:
  virtual ~ImageReader() = default;
  // Size in bytes, 32-bit: larger files report 0xFFFFFFFF, which every size
  // bound refuses.
  virtual std::uint32_t Size() const = 0;
  // Reads up to count bytes at offset; returns how many were read.
  virtual std::size_t ReadAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t count) = 0;
};

class MemoryImageReader final : public ImageReader {
 public:
  explicit MemoryImageReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::uint32_t Size() const override;
  std::size_t ReadAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t count) override;

 private:
  std::span<const std::uint8_t> bytes_;
};

class FileImageReader final : public ImageReader {
 public:
  // Opens for reading; IsOpen() tells whether that worked.
  explicit FileImageReader(const std::string& path);
  ~FileImageReader() override;
  FileImageReader(const FileImageReader&) = delete;
  FileImageReader& operator=(const FileImageReader&) = delete;

  bool IsOpen() const { return file_ != nullptr; }
  std::uint32_t Size() const override { return size_; }
  std::size_t ReadAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t count) override;

 private:
  std::FILE* file_ = nullptr;
  std::uint32_t size_ = 0;
};

}  // namespace ql
