#include "runtime/file_stream.h"

#include "runtime/platform.h"

namespace vk {

std::unique_ptr<TVKFileStream> TVKFileStream::OpenRead(const std::filesystem::path& p) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(p, ec)) return nullptr;
  std::FILE* f = platform::OpenFile(p, "rb");
  if (!f) return nullptr;
  return std::unique_ptr<TVKFileStream>(new TVKFileStream(f));
}

std::unique_ptr<TVKFileStream> TVKFileStream::Create(const std::filesystem::path& p) {
  std::FILE* f = platform::OpenFile(p, "w+b");
  if (!f) return nullptr;
  return std::unique_ptr<TVKFileStream>(new TVKFileStream(f));
}

TVKFileStream::~TVKFileStream() {
  if (f_) std::fclose(f_);
}

size_t TVKFileStream::Read(void* buf, size_t n) {
  if (!n) return 0;
  ++readCalls_;
  return std::fread(buf, 1, n, f_);
}

TVKFileView TVKFileStream::MapView(int64_t Offset, size_t Length) {
  TVKFileView view(Offset, platform::MapFileView(f_, Offset, Length));
  if (!view.Empty()) ++mappedViews_;
  return view;
}

bool TVKFileStream::Write(const void* buf, size_t n) { return n == 0 || std::fwrite(buf, 1, n, f_) == n; }

bool TVKFileStream::Seek(int64_t pos) { return std::fseek(f_, static_cast<long>(pos), SEEK_SET) == 0; }

int64_t TVKFileStream::Position() const { return std::ftell(f_); }

int64_t TVKFileStream::Size() const {
  long cur = std::ftell(f_);
  std::fseek(f_, 0, SEEK_END);
  long end = std::ftell(f_);
  std::fseek(f_, cur, SEEK_SET);
  return end;
}

bool TVKFileStream::Flush() { return std::fflush(f_) == 0; }

bool TVKFileStream::SetBufferSize(size_t n) {
  std::unique_ptr<char[]> b(new char[n]);
  if (std::setvbuf(f_, b.get(), _IOFBF, n) != 0) return false;
  buffer_ = std::move(b);
  return true;
}

bool TVKFileStream::Failed() const { return std::ferror(f_) != 0; }

}  // namespace vk
