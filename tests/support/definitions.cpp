#include "support/definitions.h"

std::vector<std::string> PairTexts(const ListBP* definition) {
  std::vector<std::string> texts;
  if (definition == nullptr) return texts;
  for (int i = 1; const BPair* pair = definition->get(i); ++i) {
    const char* name = pair->one.data() != nullptr ? pair->one.data() : "";
    const char* value = pair->two.data() != nullptr ? pair->two.data() : "";
    texts.push_back(std::string(name) + "=" + value);
  }
  return texts;
}

std::vector<std::vector<std::string>> ClassTexts(const Forcfg& cfg, int cls) {
  std::vector<std::vector<std::string>> all;
  const ListLP definitions = cfg.stanza(cls);
  for (int i = 1; const ListBP* definition = definitions.get(i); ++i) {
    all.push_back(PairTexts(definition));
  }
  return all;
}

std::string ValueOf(const ListBP* definition, const std::string& name) {
  if (definition == nullptr) return "<none>";
  for (int i = 1; const BPair* pair = definition->get(i); ++i) {
    if (pair->one.data() != nullptr && name == pair->one.data()) {
      return pair->two.data() != nullptr ? pair->two.data() : "";
    }
  }
  return "<none>";
}

void ReleaseRecords(Config* conf) {
  for (ListR& records : conf->tab) {
    for (int i = 1; Rec* rec = records.get(i); ++i) delete rec;
  }
}
