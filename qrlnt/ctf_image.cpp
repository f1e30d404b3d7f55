#include "qrlnt/ctf_image.h"

#include <strings.h>

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <vector>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace ctf {

namespace {

constexpr size_t kStreamBuffer = 1 << 16;

}  // namespace

std::string ServedName(const char* file) {
  const size_t len = std::strlen(file);
  const size_t ext = sizeof kImageExtension - 1;
  if (len <= ext || strcasecmp(file + len - ext, kImageExtension) != 0) return "";
  const size_t base = len - ext;
  if (base > static_cast<size_t>(kMaxServedName)) return "";
  std::string name;
  for (size_t i = 0; i < base; ++i) {
    const unsigned char c = static_cast<unsigned char>(file[i]);
    // A blank could not be told from the fill of the name field.
    if (c <= ' ' || c > '~') return "";
    name.push_back(static_cast<char>((c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c));
  }
  return name;
}

ImageReader::~ImageReader() {
  if (file_ != nullptr) std::fclose(file_);
}

void ImageReader::Fail(const char* format, ...) {
  char text[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  error_ = path_ + ": " + text;
}

int ImageReader::Open(const char* path) {
  if (file_ != nullptr) std::fclose(file_);
  path_ = path;
  error_.clear();
  records_ = 0;
  file_ = std::fopen(path, "rb");
  if (file_ == nullptr) {
    Fail("%s", std::strerror(errno));
    return -1;
  }
  // Large images are read in big steps; records are small. The stream is given
  // the storage: without it the C library keeps its own small buffer.
  buffer_.resize(kStreamBuffer);
  std::setvbuf(file_, buffer_.data(), _IOFBF, buffer_.size());
  return Rewind();
}

int ImageReader::Rewind() {
  if (file_ == nullptr) {
    Fail("not open");
    return -1;
  }
  std::rewind(file_);
  char magic[kMagicLen];
  if (std::fread(magic, 1, sizeof magic, file_) != sizeof magic ||
      std::memcmp(magic, kImageMagic, kMagicLen) != 0) {
    if (std::ferror(file_)) {
      Fail("%s", std::strerror(errno));
    } else {
      Fail("not a control-file image (it does not start with \"%s\")", kImageMagic);
    }
    return -1;
  }
  offset_ = kMagicLen;
  index_ = 1;
  return 0;
}

int ImageReader::Next(unsigned char* buf, int* len) {
  *len = 0;
  if (file_ == nullptr) {
    Fail("not open");
    return -1;
  }
  unsigned char head[2];
  const size_t got = std::fread(head, 1, sizeof head, file_);
  if (got == 0 && std::feof(file_)) return 0;
  if (got != sizeof head) {
    if (std::ferror(file_)) {
      Fail("%s", std::strerror(errno));
    } else {
      Fail("record %ld at byte %ld: the length is cut off", index_, offset_);
    }
    return -1;
  }
  const int n = head[0] | (head[1] << 8);
  if (n > kMaxRecordLen) {
    Fail("record %ld at byte %ld: length %d is over %d", index_, offset_, n, kMaxRecordLen);
    return -1;
  }
  const size_t body = std::fread(buf, 1, static_cast<size_t>(n), file_);
  if (body != static_cast<size_t>(n)) {
    if (std::ferror(file_)) {
      Fail("%s", std::strerror(errno));
    } else {
      Fail("record %ld at byte %ld: %d bytes announced, %zu present", index_, offset_, n, body);
    }
    return -1;
  }
  *len = n;
  offset_ += 2 + n;
  ++index_;
  return 1;
}

int ImageReader::Validate() {
  if (Rewind() != 0) return -1;
  std::vector<unsigned char> record(kMaxRecordLen);
  long count = 0;
  int len = 0;
  int rc;
  while ((rc = Next(record.data(), &len)) == 1) ++count;
  if (rc != 0) return -1;
  records_ = count;
  return Rewind();
}

ImageWriter::~ImageWriter() { Abandon(); }

void ImageWriter::Fail(const char* what) { error_ = temp_ + ": " + what; }

void ImageWriter::Abandon() {
  if (file_ == nullptr) return;
  std::fclose(file_);
  file_ = nullptr;
  std::remove(temp_.c_str());
}

int ImageWriter::Open(const char* path) {
  Abandon();
  path_ = path;
  temp_ = path_ + ".tmp";
  error_.clear();
  file_ = std::fopen(temp_.c_str(), "wb");
  if (file_ == nullptr) {
    Fail(std::strerror(errno));
    return -1;
  }
  buffer_.resize(kStreamBuffer);
  std::setvbuf(file_, buffer_.data(), _IOFBF, buffer_.size());
  if (std::fwrite(kImageMagic, 1, kMagicLen, file_) != static_cast<size_t>(kMagicLen)) {
    Fail(std::strerror(errno));
    Abandon();
    return -1;
  }
  return 0;
}

int ImageWriter::Put(const unsigned char* data, int len) {
  if (file_ == nullptr) {
    error_ = path_ + ": not open";
    return -1;
  }
  if (len < 0 || len > kMaxRecordLen) {
    error_ = path_ + ": record length out of range";
    return -1;
  }
  const unsigned char head[2] = {static_cast<unsigned char>(len & 0xFF),
                                 static_cast<unsigned char>(len >> 8)};
  if (std::fwrite(head, 1, sizeof head, file_) != sizeof head ||
      (len > 0 &&
       std::fwrite(data, 1, static_cast<size_t>(len), file_) != static_cast<size_t>(len))) {
    Fail(std::strerror(errno));
    Abandon();
    return -1;
  }
  return 0;
}

int ImageWriter::Commit() {
  if (file_ == nullptr) {
    error_ = path_ + ": not open";
    return -1;
  }
  const bool flushed = std::fflush(file_) == 0 && !std::ferror(file_);
  const int saved = errno;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!flushed || !closed) {
    Fail(std::strerror(flushed ? errno : saved));
    std::remove(temp_.c_str());
    return -1;
  }
  if (!MoveIntoPlace(temp_.c_str(), path_.c_str())) {
    std::remove(temp_.c_str());
    return -1;
  }
  return 0;
}

bool ImageWriter::MoveIntoPlace(const char* from, const char* to) {
#if defined(_WIN32)
  // rename does not replace an existing file there.
  if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) == 0) {
    char text[256];
    const DWORD code = GetLastError();
    if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                       text, sizeof text, nullptr) == 0) {
      std::snprintf(text, sizeof text, "cannot replace the file (system error %lu)",
                    static_cast<unsigned long>(code));
    }
    std::string reason = text;
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' ||
                               reason.back() == ' ' || reason.back() == '.')) {
      reason.pop_back();
    }
    error_ = path_ + ": " + reason;
    return false;
  }
#else
  if (std::rename(from, to) != 0) {
    error_ = path_ + ": " + std::strerror(errno);
    return false;
  }
#endif
  return true;
}

}  // namespace ctf
