// MemoryByteSource: a ByteSource over bytes in memory, for reading a Setup.ini
// that is not a file (the skin tool's preview, the tests).
//   MemoryByteSource source(text); store.LoadFrom(source);
#pragma once

#include <cstddef>
#include <string>
#include <utility>

#include "app/setup_ini.h"

// Bytes held in memory (the caller keeps them alive), or a copy of a text.
class MemoryByteSource : public ByteSource {
 public:
  MemoryByteSource(const void* data, size_t size)
      : data_(static_cast<const unsigned char*>(data)), size_(size) {}
  explicit MemoryByteSource(std::string text)
      : text_(std::move(text)),
        data_(reinterpret_cast<const unsigned char*>(text_.data())),
        size_(text_.size()) {}
  MemoryByteSource(const MemoryByteSource&) = delete;
  MemoryByteSource& operator=(const MemoryByteSource&) = delete;
  int Next() override { return next_ < size_ ? data_[next_++] : -1; }
  bool Restart() override {
    next_ = 0;
    return true;
  }

 private:
  std::string text_;
  const unsigned char* data_;
  size_t size_;
  size_t next_ = 0;
};
