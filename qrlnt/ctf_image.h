// Control-file images: the on-disk form in which the stand-in File Manager keeps
// one control file, written by ctfimage and served by libqrlnt.
//
// An image is the 8 bytes "CTFIMG01" followed by the records in reading order,
// each a 2-byte little-endian length (0 to 1024) and that many bytes; the image
// ends right after its last record. Anything else is a damaged image.
#ifndef QRLNT_CTF_IMAGE_H_
#define QRLNT_CTF_IMAGE_H_

#include <cstdio>
#include <string>
#include <vector>

// MinGW's printf family, the one the stand-in is built with, reads formats as
// GNU C does; the check of Fail's arguments follows it.
#if defined(__MINGW32__)
#define CTF_PRINTF(string_index, first_index) \
  __attribute__((format(gnu_printf, string_index, first_index)))
#else
#define CTF_PRINTF(string_index, first_index) \
  __attribute__((format(printf, string_index, first_index)))
#endif

namespace ctf {

constexpr char kImageMagic[] = "CTFIMG01";
constexpr int kMagicLen = 8;
constexpr int kMaxRecordLen = 1024;
// Image files carry this extension (in any case) in the folder the stand-in serves.
constexpr char kImageExtension[] = ".ctf";
// The longest control file name, as -i takes it and the File Manager serves it.
constexpr int kMaxServedName = 8;

// The control file that the stand-in serves from an image file of this name
// (without folder): the name before the extension in capitals, when it is 1 to
// 8 characters from '!' to '~'; otherwise an empty text: the file is not served.
std::string ServedName(const char* file);

static_assert(sizeof kImageMagic == kMagicLen + 1, "the magic is 8 bytes");

// Reads an image record by record, never holding more than one record.
class ImageReader {
 public:
  ImageReader() = default;
  ~ImageReader();
  ImageReader(const ImageReader&) = delete;
  ImageReader& operator=(const ImageReader&) = delete;

  // Opens path and checks the magic. 0 when it is an image; -1 with error() set
  // when it cannot be read or does not start with the magic.
  int Open(const char* path);
  // Reads the whole image once, then positions at its first record. 0 when every
  // record is sound; -1 with error() set when the image is damaged or unreadable.
  int Validate();
  // Positions at the first record. 0, or -1 with error() set.
  int Rewind();
  // Reads the next record into buf, which holds kMaxRecordLen bytes, and its
  // length into *len. 1 for a record, 0 at the end of the image, -1 with error()
  // set when the image is damaged or unreadable; nothing is read past the image.
  int Next(unsigned char* buf, int* len);

  // Records counted by the last Validate.
  long records() const { return records_; }
  // What went wrong, naming the file, the record and its byte offset.
  const char* error() const { return error_.c_str(); }

 private:
  void Fail(const char* format, ...) CTF_PRINTF(2, 3);

  std::FILE* file_ = nullptr;
  std::vector<char> buffer_;  // the stream buffer of file_
  std::string path_;
  std::string error_;
  long offset_ = 0;  // byte offset of the next record
  long index_ = 0;   // number of the next record, from 1
  long records_ = 0;
};

// Writes an image under a temporary name and puts it in place on Commit, so that
// an image is never seen half written. Without Commit nothing is left behind.
class ImageWriter {
 public:
  ImageWriter() = default;
  ~ImageWriter();
  ImageWriter(const ImageWriter&) = delete;
  ImageWriter& operator=(const ImageWriter&) = delete;

  // Starts the image path. 0, or -1 with error() set.
  int Open(const char* path);
  // Appends one record of len bytes (0 to kMaxRecordLen). 0, or -1 with error() set.
  int Put(const unsigned char* data, int len);
  // Finishes the image and moves it to its name. 0, or -1 with error() set (the
  // temporary file is then removed).
  int Commit();

  const char* error() const { return error_.c_str(); }

 private:
  void Fail(const char* what);
  void Abandon();
  // Moves the file from over the file to, which may exist. False with error()
  // set when it cannot.
  bool MoveIntoPlace(const char* from, const char* to);

  std::FILE* file_ = nullptr;
  std::vector<char> buffer_;  // the stream buffer of file_
  std::string path_;
  std::string temp_;
  std::string error_;
};

}  // namespace ctf

#endif  // QRLNT_CTF_IMAGE_H_
