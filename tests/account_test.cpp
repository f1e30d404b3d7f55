// The account of a run (-a): its CSV form, a row for every fate of a record or a
// definition, the invariant that every record read is accounted for and agrees
// with the report's counts, the option's refusals, a failed write, and how the
// reading ended.
#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <unistd.h>
#endif

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "admsa_account.h"
#include "admsa_tab.h"
#include "admsa_tran.h"
#include "admsa_tran_record.h"
#include "admsa_tran_verify.h"
#include "defshiftcore.h"
#include "support/capture.h"
#include "support/file_size_limit.h"
#include "support/memory_store.h"
#include "support/raw_record.h"
#include "support/run_program.h"

namespace {

const std::string kGoldenDir = SAMPLES_DIR "/../tests/golden/";
const char kSample[] = SAMPLES_DIR "/ordentry.desc";
const char kHeader[] = "record,table,class,resource,outcome,reason";

using Row = std::vector<std::string>;

// Reads CSV as RFC 4180 writes it, every line ended by CR LF; fails the test on
// anything else.
std::vector<Row> ReadCsv(const std::string& text) {
  std::vector<Row> rows;
  Row row;
  std::string field;
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '"') {
      for (++i; i < text.size(); ++i) {
        if (text[i] != '"') {
          field += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == '"') {
          field += text[++i];
        } else {
          break;
        }
      }
      ++i;  // the closing quote
    } else {
      while (i < text.size() && text[i] != ',' && text[i] != '\r' && text[i] != '\n') {
        field += text[i++];
      }
    }
    row.push_back(field);
    field.clear();
    if (i < text.size() && text[i] == ',') {
      ++i;
      continue;
    }
    EXPECT_EQ("\r\n", text.substr(i, 2)) << "at byte " << i;
    i += 2;
    rows.push_back(row);
    row.clear();
  }
  return rows;
}

// The rows of the account at path, after its header.
std::vector<Row> AccountRows(const std::string& path) {
  std::vector<Row> rows = ReadCsv(ReadFile(path));
  EXPECT_FALSE(rows.empty());
  if (rows.empty()) return rows;
  EXPECT_EQ(ReadCsv(std::string(kHeader) + "\r\n")[0], rows[0]);
  rows.erase(rows.begin());
  for (const Row& row : rows) EXPECT_EQ(6u, row.size());
  return rows;
}

class AccountTest : public ::testing::Test {
 protected:
  void Image(const std::string& name, const std::string& description) {
    const ProgramRun built = dir_.Run(CTFIMAGE_BIN, {"build", description, name + ".ctf"});
    ASSERT_EQ(0, built.status) << built.err;
  }
  ProgramRun Defshift(const std::vector<std::string>& args,
                      const std::vector<std::string>& env = {}) {
    std::vector<std::string> all = env;
    all.push_back("QRLNT_SFSDIR=" + dir_.path());
    return RunProgram(DEFSHIFT_BIN, args, dir_.path(), all);
  }
  void Write(const std::string& name, const std::string& text) {
    std::ofstream(dir_.Path(name), std::ios::binary) << text;
  }

  ScratchFolder dir_;
};

TEST(AccountFieldTest, FieldsRoundTripThroughACsvReader) {
  const Row fields = {"plain", "a, b", "say \"hi\"", "two words", "cr\rlf\n", "", "\"", ","};
  std::string row;
  for (const std::string& f : fields) {
    if (!row.empty()) row += ',';
    Account::AppendField(f.c_str(), &row);
  }
  EXPECT_EQ("plain,\"a, b\",\"say \"\"hi\"\"\",two words,\"cr\rlf\n\",,\"\"\"\",\",\"", row);
  EXPECT_EQ(std::vector<Row>{fields}, ReadCsv(row + "\r\n"));
}

TEST_F(AccountTest, SampleAccountMatchesItsGoldenFileAndTheReportsRefusals) {
  ASSERT_NO_FATAL_FAILURE(Image("ORDENTRY", kSample));
  const ProgramRun run =
      Defshift({"-i", "ORDENTRY", "-r", "ORDERS", "-a", "acct.csv", "-l", "report.log"});
  ASSERT_EQ(0, run.status) << run.err;
  // Read as bytes: the lines end in CR LF on every system.
  ExpectMatchesGolden(kGoldenDir + "ordentry.csv", ReadFile(dir_.Path("acct.csv")));

  const std::string report = ReadText(dir_.Path("report.log"));
  int refusals = 0;
  for (const Row& row : AccountRows(dir_.Path("acct.csv"))) {
    if (row[4] != "not migrated") continue;
    ++refusals;
    EXPECT_TRUE(Has(report, " .... resource '" + row[3] + "'")) << row[3];
  }
  EXPECT_EQ(Occurrences(report, "not migrated"), refusals);
  EXPECT_TRUE(
      Has(report,
          "\n Account file: acct.csv; 37 records, 34 definitions\n"
          "--------------------------------------------------------------------------------\n"))
      << report;
}

// Each reason once, in a control file of its own.
TEST_F(AccountTest, EveryFateHasItsRow) {
  Write("fates.desc",
        "P 1003=QSGN 100=QVBSGN\n"
        "F 1007=QVBFILE 301=O 302=N\n"
        "O 1017=QVBPROG 803=P\n"
        "D 1015=QMSG 700=L\n"
        "P 100=NONAME\n"
        "P 1003=\"A\\x01,\\\"\" 100=CTRL\n"
        "T 1009=MDL1 401=V 402=Y 400=MDLNET\n"
        "D 1015=PRTQ 700=E 703=5\n"
        "S 1005=JSMITH 200=JSMITH\n"
        "P 1003=SHRT len=20\n"
        "raw\n"
        "raw \"?x\"\n"
        "raw \"X\"\n"
        "raw \"E\"\n"
        "% 1011=WHS1 500=T\n"
        "T 1009=OLD1 1018=S 401=B\n"
        "P 1003=ORD1 100=ORDENTRY\n");
  ASSERT_NO_FATAL_FAILURE(Image("FATES", dir_.Path("fates.desc")));
  const ProgramRun run = Defshift({"-i", "FATES", "-r", "REG", "-a", "fates.csv"});
  ASSERT_EQ(0, run.status) << run.err;
  const std::vector<Row> expected = {
      {"11", "", "", "", "skipped", "empty-record"},
      {"12", "0x3F", "", "", "skipped", "unknown-table-key"},
      {"13", "0x58", "", "", "skipped", "workstation-setup"},
      {"14", "0x45", "", "", "skipped", "ignored-record"},
      {"15", "Connection and session Table", "", "", "skipped", "not-translated"},
      {"16", "Terminal Contol Table", "", "", "skipped", "filtered"},
      {"7", "Terminal Contol Table", "wd", "MDL1", "amended", "netname-reset"},
      {"4", "Destination Control Table", "tdd", "QMSG", "not migrated", "system-resource"},
      {"8", "Destination Control Table", "tdd", "PRTQ", "amended", "triggerlevel-removed"},
      {"2", "File Control Table", "fd", "QVBFILE", "not migrated", "system-file"},
      {"3", "Processing Program Table", "pd", "QVBPROG", "not migrated", "system-program"},
      {"1", "Program Control Table", "td", "QSGN", "not migrated", "supplied-transaction"},
      {"5", "Program Control Table", "td", "", "not migrated", "no-name"},
      {"6", "Program Control Table", "td", "A\x01,\"", "not migrated", "unwritable"},
      {"10", "Program Control Table", "td", "SHRT", "amended", "short-record"},
      {"17", "Program Control Table", "td", "ORD1", "migrated", ""},
      {"9", "Signon Table", "ud", "JSMITH", "amended", "password-reset"},
  };
  EXPECT_EQ(expected, AccountRows(dir_.Path("fates.csv")));

  // No rule set makes 33 attributes; the record that drops one says so.
  AttrToScript record("T1", TDid, "REG");
  const Captured logged = Capture([&] {
    for (int a = 1; a <= 33; ++a) record.Add(("A" + std::to_string(a)).c_str(), "x");
    EXPECT_EQ(1, Verify(&record));
  });
  EXPECT_TRUE(Has(logged.out, "'A33=x' is not migrated")) << logged.out;
  EXPECT_EQ(kFateAttributeDropped, record.fates());
}

// A source that opens and ends its reading as the File Manager does at the end
// of a file.
class OpenStore : public MemoryStore {
 public:
  int openinfile() override { return 0; }
  int closefile() override { return 0; }
  int endstatus() const override { return 0x4546; }  // "EF"
};

// Generated control files, damaged records included: every record read has a
// row, the rows of each class are its "records checked" and those written its
// "migrated".
TEST(AccountInvariantTest, GeneratedControlFilesAreAccountedForWhole) {
  std::mt19937 random(20261207);
  for (int file = 0; file < 6; ++file) {
    SCOPED_TRACE(file);
    Conversion run("REG");
    OpenStore* store = new OpenStore;
    run.infile = store;
    const std::string cmd = TempPath("invariant.cmd");
    const std::string csv = TempPath("invariant.csv");
    ASSERT_EQ(0, run.setoutfile(2, cmd.c_str()));
    Account account;
    ASSERT_EQ(0, account.Open(csv.c_str()));
    run.account = &account;
    const int records = 50 + static_cast<int>(random() % 150);
    for (int r = 0; r < records; ++r) {
      const int kind = static_cast<int>(random() % 12);
      if (kind >= 9) {
        store->Add(std::string(random() % 3, static_cast<char>("XE\x01?"[random() % 4])));
        continue;
      }
      RawRecord raw(kind);
      raw.Text(LayoutOf(kind)->field, "R" + std::to_string(random() % 40));
      std::string bytes = raw.bytes();
      for (int k = static_cast<int>(random() % 8); k > 0; --k) {
        // Not 0x1A, which ends a captured console in text mode on Windows.
        bytes[1 + random() % (bytes.size() - 1)] = static_cast<char>(0x1B + random() % 229);
      }
      if (random() % 5 == 0) bytes.resize(1 + random() % bytes.size());
      store->Add(bytes);
    }
    int rc = -1;
    const Captured report = Capture([&] { rc = run.start(); });
    ASSERT_EQ(0, rc) << report.err;

    std::set<int> ordinals;
    std::map<std::string, int> checked;
    std::map<std::string, int> migrated;
    for (const Row& row : AccountRows(csv)) {
      ordinals.insert(std::stoi(row[0]));
      if (!row[2].empty()) ++checked[row[2]];
      if (row[4] == "migrated" || row[4] == "amended") ++migrated[row[2]];
    }
    EXPECT_EQ(static_cast<size_t>(records), ordinals.size());
    EXPECT_EQ(records, *ordinals.rbegin());
    EXPECT_TRUE(Has(report.out, " .... " + std::to_string(records) + " records read;"));
    // The count lines of the report, in class order, against the account's.
    std::string counted;
    for (int cls = WDid; cls <= RDid; ++cls) {
      const int n = checked[ResTypeArr[cls]];
      counted += n == 0 ? "No records for this class\n"
                        : std::to_string(n) + " records checked, " +
                              std::to_string(migrated[ResTypeArr[cls]]) + " migrated\n";
    }
    std::string reported;
    std::istringstream lines(report.out);
    for (std::string line; std::getline(lines, line);) {
      if (Has(line, " records checked, ") || Has(line, "No records for this class")) {
        reported += line.substr(line.find_first_not_of(' ')) + "\n";
      }
    }
    EXPECT_EQ(counted, reported);
    EXPECT_EQ(static_cast<uint32_t>(records), account.records());
  }
}

TEST_F(AccountTest, ClashingOrMissingAccountFileIsRefusedBeforeReading) {
  struct Case {
    std::vector<std::string> args;
    const char* printed;
  };
  const Case cases[] = {
      {{"-a", "same.cmd", "-o", "same.cmd"},
       "The account file 'same.cmd' and the output file 'same.cmd' are the same file\n"},
      {{"-a", "./report.log", "-l", "report.log"},
       "The account file './report.log' and the log file 'report.log' are the same file\n"},
      {{"/A", "migratetavo.cmd"},
       "The account file 'migratetavo.cmd' and the output file 'migratetavo.cmd' are the same "
       "file\n"},
      {{"-a"}, "Option '-a' requires a value for account file\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"-i", "NOSUCH", "-r", "REG"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const ProgramRun run = Defshift(args);
    EXPECT_EQ(1, run.status) << c.printed;
    EXPECT_TRUE(Has(run.out, c.printed)) << run.out;
    // A missing value is scanned as -o's is: the run goes on without an account.
    if (c.args.size() > 1) {
      EXPECT_EQ("", run.err);
    }
    EXPECT_TRUE(dir_.Entries().empty()) << c.printed;
  }
}

// Neither the command file nor the account replaces an earlier one when either
// cannot be written whole, and no temporary file stays.
TEST_F(AccountTest, FailedWriteLeavesTheEarlierFiles) {
  ASSERT_NO_FATAL_FAILURE(Image("ORDENTRY", kSample));
  const std::string old_cmd = "@ECHO an earlier command file\n";
  const std::string old_csv = "record,an earlier account\r\n";
  Write("old.cmd", old_cmd);
  Write("old.csv", old_csv);
  const std::vector<std::string> files = {"ORDENTRY.ctf", "old.cmd", "old.csv"};
  ProgramRun run;
#if !defined(_WIN32)
  ASSERT_EQ(0, symlink("/dev/full", dir_.Path("full.csv").c_str()));
  run = Defshift({"-i", "ORDENTRY", "-r", "REG", "-o", "old.cmd", "-a", "full.csv"});
  EXPECT_EQ(1, run.status);
  EXPECT_TRUE(Has(run.err,
                  "Error 3: Failed to close file full.csv (28): No space left on device\n"
                  "Error 33: Error during conversion.\n"))
      << run.err;
  EXPECT_EQ(old_cmd, ReadFile(dir_.Path("old.cmd")));
  std::filesystem::remove(dir_.Path("full.csv"));
  EXPECT_EQ(files, dir_.Entries());
#endif
  run = Defshift({"-i", "ORDENTRY", "-r", "REG", "-o", "old.cmd", "-a", "none/new.csv"});
  EXPECT_EQ(1, run.status);
  EXPECT_TRUE(Has(run.err,
                  "Error 1: Failed to open file none/new.csv (2): No such file or directory\n"
                  "Error 32: Could not open file for output.\n"))
      << run.err;
  EXPECT_EQ(files, dir_.Entries());
  if (!FileSizeLimit::kAvailable) GTEST_SKIP() << FileSizeLimit::kUnavailable;
  {
    // The command file outgrows the limit; the account, smaller, would not.
    FileSizeLimit limit(8192);
    ASSERT_TRUE(limit.ok());
    run = Defshift({"-i", "ORDENTRY", "-r", "REG", "-o", "old.cmd", "-a", "old.csv"});
  }
  EXPECT_EQ(1, run.status);
  EXPECT_TRUE(Has(run.err, "Error 3: Failed to close file old.cmd (27): File too large\n"));
  EXPECT_EQ(old_cmd, ReadFile(dir_.Path("old.cmd")));
  EXPECT_EQ(old_csv, ReadFile(dir_.Path("old.csv")));
  EXPECT_EQ(files, dir_.Entries());
}

// A reading ended by a failure of the File Manager fails the run; one ended by a
// status the system does not know is told in the report, and the account's
// closing line carries the same count.
TEST_F(AccountTest, ReadingEndedByTheFileManager) {
  ASSERT_NO_FATAL_FAILURE(Image("ORDENTRY", kSample));
  Write("old.cmd", "@ECHO an earlier command file\n");
  Write("old.csv", "record,an earlier account\r\n");
  const std::vector<std::string> args = {"-i", "ORDENTRY", "-r", "REG",
                                         "-o", "old.cmd",  "-a", "old.csv"};
  ProgramRun run = Defshift(args, {"QRLNT_FAIL_READ=20:DI"});
  EXPECT_EQ(1, run.status);
  EXPECT_TRUE(Has(run.err,
                  "Error 5: Failed to read file ORDENTRY (17481)\n"
                  " .... 19 records read; the File Manager ended the reading with status 'DI': "
                  "the control file is damaged or unreadable\n"
                  "Error 33: Error during conversion.\n"))
      << run.err;
  EXPECT_FALSE(Has(run.out, "generated command file"));
  EXPECT_EQ("@ECHO an earlier command file\n", ReadFile(dir_.Path("old.cmd")));
  EXPECT_EQ("record,an earlier account\r\n", ReadFile(dir_.Path("old.csv")));
  EXPECT_EQ((std::vector<std::string>{"ORDENTRY.ctf", "old.cmd", "old.csv"}), dir_.Entries());

  run = Defshift(args, {"QRLNT_FAIL_READ=20:ZQ"});
  EXPECT_EQ(0, run.status) << run.err;
  EXPECT_TRUE(Has(run.out,
                  "\n .... 19 records read; the File Manager ended the reading with status 'ZQ'\n"))
      << run.out;
  EXPECT_TRUE(Has(run.out, "\n Account file: old.csv; 19 records, "));
  int last = 0;
  for (const Row& row : AccountRows(dir_.Path("old.csv"))) last = std::max(last, std::stoi(row[0]));
  EXPECT_EQ(19, last);
}

}  // namespace
