// Seeds of the migration fuzzer, made from control-file descriptions (the syntax
// of tools/README.md), and the way back from a fuzzer input to a description.
//
//   fuzz_seeds OUTDIR DESC...   one seed per description, named after it, and one
//                               per record line, named after its description
//                               and line number; a description longer than the
//                               fuzzer's inputs gives seeds of its records in
//                               order instead, each as many as fit, named after
//                               it and "part" with their number
//   fuzz_seeds --dump INPUT     the description of a fuzzer input on standard
//                               output, one line per record
//
// Exit status 0, or 1 after a message on standard error.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "raw_records.h"
#include "tools/ctf_description.h"

namespace {

constexpr size_t kLongestDescribed = 1024;

bool ReadAll(const std::string& path, std::string* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream all;
  all << in.rdbuf();
  *bytes = all.str();
  return true;
}

bool WriteSeed(const std::string& path, const std::vector<std::string>& records) {
  std::string input;
  if (!JoinRecords(records, &input)) {
    std::fprintf(stderr, "fuzz_seeds: %s: a record holds the record separator\n", path.c_str());
    return false;
  }
  std::ofstream out(path, std::ios::binary);
  out << input;
  if (!out.flush()) {
    std::fprintf(stderr, "fuzz_seeds: %s: cannot be written\n", path.c_str());
    return false;
  }
  return true;
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

int Seeds(const std::string& outdir, const std::string& desc) {
  std::string text;
  if (!ReadAll(desc, &text)) {
    std::fprintf(stderr, "fuzz_seeds: %s: cannot be read\n", desc.c_str());
    return 1;
  }
  const std::string stem = outdir + "/" + BaseName(desc);
  std::vector<std::string> records;
  std::istringstream lines(text);
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    std::string record;
    std::string error;
    const int parsed = ctfdesc::ParseLine(line, &record, &error);
    if (parsed < 0) {
      std::fprintf(stderr, "%s:%d: %s\n", desc.c_str(), number, error.c_str());
      return 1;
    }
    if (parsed == 0) continue;
    records.push_back(record);
    if (!record.empty() && !WriteSeed(stem + "-" + std::to_string(number), {record})) return 1;
  }
  std::string whole;
  if (!JoinRecords(records, &whole) || whole.size() <= kLongestInput) {
    return WriteSeed(stem, records) ? 0 : 1;
  }
  // The fuzzer would cut the whole file after its first records.
  std::vector<std::string> part;
  size_t size = 0;
  int parts = 0;
  for (const std::string& record : records) {
    if (!part.empty() && size + kRecordSeparatorLen + record.size() > kLongestInput) {
      if (!WriteSeed(stem + "-part" + std::to_string(++parts), part)) return 1;
      part.clear();
      size = 0;
    }
    size += (part.empty() ? 0 : kRecordSeparatorLen) + record.size();
    part.push_back(record);
  }
  return WriteSeed(stem + "-part" + std::to_string(++parts), part) ? 0 : 1;
}

int Dump(const std::string& path) {
  std::string input;
  if (!ReadAll(path, &input)) {
    std::fprintf(stderr, "fuzz_seeds: %s: cannot be read\n", path.c_str());
    return 1;
  }
  for (const std::string& record :
       SplitRecords(reinterpret_cast<const uint8_t*>(input.data()), input.size())) {
    // A description holds records of up to 1024 bytes, as a control file does.
    if (record.size() > kLongestDescribed) {
      std::printf("# the next record is cut from %zu bytes\n", record.size());
    }
    std::printf("%s\n", ctfdesc::FormatRecord(record.substr(0, kLongestDescribed)).c_str());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--dump") return Dump(argv[2]);
  if (argc < 3) {
    std::fprintf(stderr, "usage: fuzz_seeds OUTDIR DESC...\n       fuzz_seeds --dump INPUT\n");
    return 1;
  }
  for (int i = 2; i < argc; ++i) {
    if (Seeds(argv[1], argv[i]) != 0) return 1;
  }
  return 0;
}
