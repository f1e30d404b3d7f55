// ctfimage: builds a control-file image from a readable description and dumps an
// image back to its description (tools/README.md).
//
//   ctfimage build DESC IMAGE   DESC "-" reads standard input
//   ctfimage dump IMAGE         writes the description to standard output
//   ctfimage fields [KEY]       lists the record layouts and what they become
//   ctfimage -h | --help        shows the usage
//
// Exit status 0, or 1 after a message on standard error; a refused description
// leaves no image behind.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "qrlnt/ctf_image.h"
#include "tools/ctf_description.h"
#include "tools/ctf_fields.h"

namespace {

const char kUsage[] =
    "usage: ctfimage build DESC IMAGE   (DESC - reads standard input)\n"
    "       ctfimage dump IMAGE\n"
    "       ctfimage fields [KEY]       (the record layouts; KEY one of DFPOZS%TQ)\n"
    "       ctfimage -h | --help\n";

// An image that the stand-in would not serve is still written, then warned
// about: it may be renamed later.
void WarnIfNotServed(const char* image) {
  const char* slash = std::strrchr(image, '/');
  const char* file = slash != nullptr ? slash + 1 : image;
  if (!ctf::ServedName(file).empty()) return;
  std::fprintf(stderr,
               "ctfimage: warning: %s is not served as a control file: the File Manager "
               "serves only files NAME%s, NAME 1 to %d characters without blanks, read with "
               "-i NAME\n",
               image, ctf::kImageExtension, ctf::kMaxServedName);
}

// Reads the next line of in, without its newline, into *line. False at the end
// of the input (or on a read error) when nothing was read. A line may hold any
// byte, NUL included, and be of any length.
bool ReadLine(std::FILE* in, std::string* line) {
  line->clear();
  int c;
  while ((c = std::getc(in)) != EOF) {
    if (c == '\n') return true;
    line->push_back(static_cast<char>(c));
  }
  return !line->empty();
}

int Build(const char* desc, const char* image) {
  const bool from_stdin = std::strcmp(desc, "-") == 0;
  const char* shown = from_stdin ? "stdin" : desc;
  std::FILE* in = from_stdin ? stdin : std::fopen(desc, "rb");
  if (in == nullptr) {
    std::fprintf(stderr, "ctfimage: %s: %s\n", desc, std::strerror(errno));
    return 1;
  }
  ctf::ImageWriter out;
  int rc = 0;
  if (out.Open(image) != 0) {
    std::fprintf(stderr, "ctfimage: %s\n", out.error());
    rc = 1;
  }
  long number = 0;
  std::string line;
  while (rc == 0 && ReadLine(in, &line)) {
    ++number;
    std::string record;
    std::string error;
    const int parsed = ctfdesc::ParseLine(line, &record, &error);
    if (parsed < 0) {
      std::fprintf(stderr, "%s:%ld: %s\n", shown, number, error.c_str());
      rc = 1;
    } else if (parsed > 0 && out.Put(reinterpret_cast<const unsigned char*>(record.data()),
                                     static_cast<int>(record.size())) != 0) {
      std::fprintf(stderr, "ctfimage: %s\n", out.error());
      rc = 1;
    }
  }
  if (rc == 0 && std::ferror(in)) {
    std::fprintf(stderr, "ctfimage: %s: read error\n", shown);
    rc = 1;
  }
  if (!from_stdin) std::fclose(in);
  if (rc == 0 && out.Commit() != 0) {
    std::fprintf(stderr, "ctfimage: %s\n", out.error());
    rc = 1;
  }
  if (rc == 0) WarnIfNotServed(image);
  return rc;
}

int Dump(const char* image) {
  ctf::ImageReader in;
  // Checked whole first, so that a damaged image prints nothing but the reason.
  if (in.Open(image) != 0 || in.Validate() != 0) {
    std::fprintf(stderr, "ctfimage: %s\n", in.error());
    return 1;
  }
  unsigned char record[ctf::kMaxRecordLen];
  int len = 0;
  int rc;
  while ((rc = in.Next(record, &len)) == 1) {
    const std::string line =
        ctfdesc::FormatRecord(std::string(reinterpret_cast<const char*>(record), len));
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
  }
  if (rc < 0) {
    std::fprintf(stderr, "ctfimage: %s\n", in.error());
    return 1;
  }
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "ctfimage: standard output: %s\n", std::strerror(errno));
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if ((argc == 2 || argc == 3) && std::strcmp(argv[1], "fields") == 0) {
    return ctffields::FieldsCommand(argc == 3 ? argv[2] : nullptr);
  }
  if (argc == 4 && std::strcmp(argv[1], "build") == 0) return Build(argv[2], argv[3]);
  if (argc == 3 && std::strcmp(argv[1], "dump") == 0) return Dump(argv[2]);
  std::fputs(kUsage, stderr);
  return 1;
}
