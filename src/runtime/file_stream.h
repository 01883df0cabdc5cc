// A binary file stream owned by a task (input table, upload output, the
// auxiliary file of a conversion).
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>

namespace vk {

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

 private:
  explicit TVKFileStream(std::FILE* f) : f_(f) {}
  std::FILE* f_;
  std::unique_ptr<char[]> buffer_;
};

}  // namespace vk
