// The field listings of ctfimage and the attribute names that descriptions may
// give instead of field ids, against the record layouts and the rule tables.
#include "tools/ctf_fields.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "admsa_tab.h"
#include "tools/ctf_description.h"

namespace {

// The lines of a listing that describe fields, by the id they start with.
std::map<int, std::vector<std::string>> FieldLines(const std::string& listing) {
  std::map<int, std::vector<std::string>> lines;
  std::istringstream in(listing);
  std::string line;
  bool fields = false;
  while (std::getline(in, line)) {
    if (line.find("field  offset") != std::string::npos) {
      fields = true;
      continue;
    }
    const size_t first = line.find_first_not_of(' ');
    if (!fields || first == std::string::npos || line[first] < '0' || line[first] > '9') continue;
    lines[std::stoi(line.substr(first))].push_back(line);
  }
  return lines;
}

std::string Parsed(const std::string& line, int* rc) {
  std::string record;
  std::string error;
  *rc = ctfdesc::ParseLine(line, &record, &error);
  return *rc == 1 ? record : error;
}

TEST(CtfFieldsTest, EveryFieldOfEveryTableIsListedOnce) {
  for (int tid = 0; LayoutOf(tid) != nullptr; ++tid) {
    SCOPED_TRACE(TablChars[tid]);
    const std::string listing = ctffields::Listing(tid);
    EXPECT_EQ(0u, listing.find(std::string(1, TablChars[tid]) + "  ")) << listing;
    std::set<int> ids;
    for (const Entry* e = LayoutOf(tid); e->field >= 0; ++e) ids.insert(e->field);
    const auto lines = FieldLines(listing);
    EXPECT_EQ(ids.size(), lines.size());
    for (int id : ids) {
      ASSERT_EQ(1u, lines.count(id)) << id;
      EXPECT_EQ(1u, lines.at(id).size()) << id;
    }
  }
}

TEST(CtfFieldsTest, ListingShowsWhatTheRulesMakeOfEachField) {
  struct Case {
    char key;
    int field;
    std::vector<std::string> parts;  // each must be on the field's line
  };
  const Case cases[] = {
      {'T', 400, {"text", "-> ", "wd NetName"}},
      // Connections are read from terminal records by the connection layout.
      {'T', 401, {"codes V P J Q A S", "wd IsPrinter", "wd DevType", "cd filter (% 500)"}},
      {'T', 1018, {"wd filter", "cd filter (% 1019)"}},
      {'T', 514, {"number  37-65534", "cd RemoteCodePageTR (% 514)"}},
      {'Z', 2, {"td TWASize (to every td before it)"}},
      {'Z', 44, {"ld filter"}},
      {'O', 1017, {"pd _Key, pd PathName"}},
      {'S', 204, {"bits", "0-23"}},
  };
  for (const Case& c : cases) {
    const int tid = static_cast<int>(std::string(TablChars).find(c.key));
    const auto lines = FieldLines(ctffields::Listing(tid));
    ASSERT_EQ(1u, lines.count(c.field)) << c.key << " " << c.field;
    const std::string& line = lines.at(c.field).front();
    for (const std::string& part : c.parts) {
      EXPECT_NE(std::string::npos, line.find(part)) << line << "\n  lacks: " << part;
    }
  }
  // A rule set whose records come from T shows nothing under the % layout.
  const std::string connections = ctffields::Listing(static_cast<int>(TCSid));
  EXPECT_NE(std::string::npos, connections.find("no rule translates the records"));
  EXPECT_EQ(std::string::npos, connections.find("->")) << connections;
}

// A unique attribute name packs the same record as its field id, in every table.
TEST(CtfFieldsTest, AttributeNamesResolveToTheirFieldIds) {
  int named = 0;
  for (int tid = 0; LayoutOf(tid) != nullptr; ++tid) {
    std::map<std::string, std::set<int>> fields_of;
    for (const ctffields::FieldUse& u : ctffields::UsesOf(tid)) {
      if (!u.filter) fields_of[prednames[u.pred]].insert(u.field);
    }
    for (const auto& [name, fields] : fields_of) {
      if (fields.size() != 1) continue;
      const int id = *fields.begin();
      int field = -1;
      std::string error;
      EXPECT_EQ(1, ctffields::FieldOfName(tid, name, &field, &error)) << name;
      EXPECT_EQ(id, field) << name;
      const std::string head = std::string(1, TablChars[tid]) + " ";
      int by_name = 0;
      int by_id = 0;
      const std::string value = "1";
      EXPECT_EQ(Parsed(head + std::to_string(id) + "=" + value, &by_id),
                Parsed(head + name + "=" + value, &by_name))
          << head << name;
      EXPECT_EQ(by_id, by_name) << head << name;
      ++named;
    }
  }
  EXPECT_GT(named, 50) << "most attributes come from one field";

  int rc = 0;
  EXPECT_EQ(Parsed("T 400=TERM01", &rc), Parsed("T NetName=TERM01", &rc));
  EXPECT_EQ(Parsed("T 1009=OE02 406=\"Order desk\"", &rc),
            Parsed("T _Key=OE02 ResourceDescription=\"Order desk\"", &rc));
}

TEST(CtfFieldsTest, AmbiguousOrUnknownNamesAreRefused) {
  struct Case {
    const char* line;
    const char* message;
  };
  const Case cases[] = {
      {"Z ClassMaxTasks=3",
       "'ClassMaxTasks' names several fields of the Z record layout (26, 27, 28, 29, 30, 31, "
       "32, 33, 34, 35); give the field id"},
      {"F BaseName=X", ""},  // one field, two attributes: not ambiguous
      {"T NoSuchName=1", "'NoSuchName' is not a field of the T record layout"},
      {"T filter=1", "'filter' is not a field of the T record layout"},
      {"P NetName=X", "'NetName' is not a field of the P record layout"},
      {"T NetName=X 400=Y", "field 400 given twice"},
  };
  for (const Case& c : cases) {
    int rc = 0;
    const std::string got = Parsed(c.line, &rc);
    if (c.message[0] == '\0') {
      EXPECT_EQ(1, rc) << c.line << ": " << got;
    } else {
      EXPECT_EQ(-1, rc) << c.line;
      EXPECT_EQ(0u, got.find(c.message)) << c.line << ": " << got;
    }
  }
}

// The dump keeps writing ids, whatever the description named.
TEST(CtfFieldsTest, DumpWritesIds) {
  int rc = 0;
  const std::string record = Parsed("T _Key=OE02 NetName=OENET02 NumLines=24", &rc);
  ASSERT_EQ(1, rc) << record;
  EXPECT_EQ("T 1009=OE02 400=OENET02 407=24", ctfdesc::FormatRecord(record));
}

}  // namespace
