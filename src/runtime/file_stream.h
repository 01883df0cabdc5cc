// A binary file stream owned by a task (input table, upload output, the
// auxiliary file of a conversion).
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "runtime/platform.h"

namespace vk {

// Part of a file mapped read-only into memory (see TVKFileStream::MapView);
// unmapped when destroyed.
class TVKFileView {
 public:
  TVKFileView() = default;
  TVKFileView(int64_t Offset, const platform::FileView& View) : offset_(Offset), v_(View) {}
  ~TVKFileView() { platform::UnmapFileView(v_); }
  TVKFileView(TVKFileView&& o) noexcept : offset_(o.offset_), v_(o.v_) { o.v_ = {}; }
  TVKFileView& operator=(TVKFileView&& o) noexcept {
    if (this != &o) {
      platform::UnmapFileView(v_);
      offset_ = o.offset_;
      v_ = o.v_;
      o.v_ = {};
    }
    return *this;
  }

  bool Empty() const { return v_.Data == nullptr; }
  // Position in the file of Data()[0].
  int64_t Offset() const { return offset_; }
  const uint8_t* Data() const { return v_.Data; }
  size_t Size() const { return v_.Size; }
  // True once the file was found cut short under the view (see
  // platform::FileViewDamaged).
  bool Damaged() const { return platform::FileViewDamaged(v_); }

 private:
  int64_t offset_ = 0;
  platform::FileView v_;
};

class TVKFileStream {
 public:
  // Opens an existing file for reading; null when it cannot be opened.
  static std::unique_ptr<TVKFileStream> OpenRead(const std::filesystem::path& p);
  // Creates (or replaces) a file for writing; null on failure.
  static std::unique_ptr<TVKFileStream> Create(const std::filesystem::path& p);
  ~TVKFileStream();
  TVKFileStream(const TVKFileStream&) = delete;
  TVKFileStream& operator=(const TVKFileStream&) = delete;

  size_t Read(void* buf, size_t n);
  // Maps Length bytes from Offset read-only (fewer at the file's end); an
  // empty view when the file cannot be mapped. The stream's position is
  // left alone.
  TVKFileView MapView(int64_t Offset, size_t Length);
  bool Write(const void* buf, size_t n);
  bool Seek(int64_t pos);
  int64_t Position() const;
  int64_t Size() const;
  bool Flush();
  // Gives the stream a buffer of n bytes (streams read or written in small
  // pieces, such as a conversion's records). Only before the first read or
  // write; false when the buffer cannot be set.
  bool SetBufferSize(size_t n);
  // True once a read or write on the stream has failed (a full disk, an
  // I/O error), even when a later call succeeded.
  bool Failed() const;
  // Calls of Read and views mapped so far: what reading the file has cost.
  uint64_t ReadCalls() const { return readCalls_; }
  uint64_t MappedViews() const { return mappedViews_; }

 private:
  explicit TVKFileStream(std::FILE* f) : f_(f) {}
  std::FILE* f_;
  std::unique_ptr<char[]> buffer_;
  uint64_t readCalls_ = 0;
  uint64_t mappedViews_ = 0;
};

}  // namespace vk
