#include "admsa_supp.h"

#include <cstdlib>
#include <cstring>

#include "admsa_errs.h"

namespace {

unsigned char* Allocate(int len) {
  // malloc(0) may return null on success; always ask for at least one byte.
  void* p = std::malloc(len > 0 ? static_cast<size_t>(len) : 1);
  if (p == nullptr) OutOfMemory(len);
  return static_cast<unsigned char*>(p);
}

// Lists never release their nodes, so nodes are cut from large blocks instead of
// being allocated one by one: a control file of a million records makes some ten
// million of them, and an allocation of its own would double the size of each.
ListI* NewNode(void* item) {
  constexpr int kNodesPerBlock = 4096;
  static ListI* block = nullptr;
  static int left = 0;
  if (left == 0) {
    const long bytes = static_cast<long>(sizeof(ListI)) * kNodesPerBlock;
    block = static_cast<ListI*>(std::malloc(static_cast<size_t>(bytes)));
    if (block == nullptr) OutOfMemory(bytes);
    left = kNodesPerBlock;
  }
  ListI* node = block++;
  --left;
  node->next = nullptr;
  node->datum = item;
  return node;
}

}  // namespace

Buffer::Buffer() : buf(nullptr), dlen(0), blen(0) {}

Buffer::~Buffer() {
  ReleaseStorage();
  buf = nullptr;
}

void Buffer::ReleaseStorage() {
  // Lent storage is its lender's; a buffer owns storage exactly when blen > 0.
  if (blen > 0) std::free(buf);
  blen = 0;
}

void Buffer::setto(const void* data, int len) {
  if (len < 0) len = 0;
  if (data == buf && buf != nullptr) {
    if (len <= (blen > 0 ? blen : dlen)) dlen = len;
    return;
  }
  if (blen < len) {
    ReleaseStorage();
    buf = Allocate(len);
    blen = len;
  }
  if (len > 0) std::memcpy(buf, data, static_cast<size_t>(len));
  dlen = len;
}

void Buffer::concat(const void* data, int len) {
  if (len <= 0) return;
  if (dlen + len > blen) {
    unsigned char* grown = Allocate(dlen + len);
    if (dlen > 0) std::memcpy(grown, buf, static_cast<size_t>(dlen));
    ReleaseStorage();
    buf = grown;
    blen = dlen + len;
  }
  std::memcpy(buf + dlen, data, static_cast<size_t>(len));
  dlen += len;
}

void Buffer::lend(const void* storage, int len) {
  ReleaseStorage();
  buf = static_cast<unsigned char*>(const_cast<void*>(storage));
  dlen = storage != nullptr && len > 0 ? len : 0;
}

BufStr::BufStr(const char* s) { setstr(s); }

void BufStr::setstr(const char* s) {
  if (s == nullptr) return;
  setto(s, static_cast<int>(std::strlen(s)) + 1);
}

void BufStr::constr(const char* s) {
  if (dlen == 0) {
    setstr(s);
    return;
  }
  setto(buf, dlen - 1);  // drop the terminator; the bytes stay
  concat(s, static_cast<int>(std::strlen(s)) + 1);
}

List::List() : base(nullptr), tail_(nullptr), seen_(nullptr), seen_num_(0), store_(nullptr) {}

List::List(const List& other)
    : base(other.base),
      tail_(other.tail_),
      seen_(other.seen_),
      seen_num_(other.seen_num_),
      store_(other.store_) {}

List::~List() {
  for (ListI* node = base; node != nullptr; node = node->next) rm(node);
}

void List::rm(void*) {}

void List::Forget() {
  base = nullptr;
  tail_ = nullptr;
  seen_ = nullptr;
  seen_num_ = 0;
}

void List::add(void* item) {
  ListI* node;
  if (store_ != nullptr) {
    node = store_->Make<ListI>();
    node->next = nullptr;
    node->datum = item;
  } else {
    node = NewNode(item);
  }
  if (base == nullptr) {
    base = node;
    tail_ = node;
    return;
  }
  // A copy sharing the nodes may have appended since; the real end lies behind.
  ListI* last = tail_ != nullptr ? tail_ : base;
  while (last->next != nullptr) last = last->next;
  last->next = node;
  tail_ = node;
}

void* List::get(int num) const {
  if (num < 1 || base == nullptr) return nullptr;
  ListI* node = base;
  int reached = 1;
  if (seen_ != nullptr && seen_num_ <= num) {
    node = seen_;
    reached = seen_num_;
  }
  while (reached < num && node->next != nullptr) {
    node = node->next;
    ++reached;
  }
  // Also past the end: the loop that reads a list until get gives null then
  // starts its last call from the tail instead of from the first node.
  seen_ = node;
  seen_num_ = reached;
  return reached == num ? node->datum : nullptr;
}

InRec::InRec(const Buffer* other) {
  if (other != nullptr) setto(other->data(), other->len());
}

Rec::Rec(const void* data, int len) { setto(data, len); }

Rec* Rec::Lent(Arena* store, const void* storage, int len) {
  Rec* rec = store->Make<Rec>(nullptr, 0);
  rec->lend(storage, len);
  return rec;
}

Config::Config() {
  for (int t = 0; t < kTables; ++t) tab[t].NodesFrom(&store_[t]);
}

Config::~Config() {
  // The lists walk their nodes when destroyed: they must not find them released.
  for (int t = 0; t < kTables; ++t) Release(t);
}

void Config::AddRecord(int t, const void* data, int len) {
  if (t < 0 || t >= kTables) return;
  if (len < 0) len = 0;
  Arena* store = &store_[t];
  // The bytes need no alignment; only the record itself does.
  unsigned char* bytes =
      reinterpret_cast<unsigned char*>(store->AllocateBytes(static_cast<size_t>(len)));
  if (len > 0) std::memcpy(bytes, data, static_cast<size_t>(len));
  tab[t].add(Rec::Lent(store, bytes, len));
}

void Config::Release(int t) {
  if (t < 0 || t >= kTables) return;
  tab[t].Forget();
  store_[t].Release();
}

Forcfg::Forcfg() {
  for (ListLP& definitions : stz) definitions.NodesFrom(&store_);
}

Forcfg::~Forcfg() {
  // The class lists walk their nodes when destroyed, after the store has gone.
  for (ListLP& definitions : stz) definitions.Forget();
}

ListBP* Forcfg::NewDefinition() {
  ListBP* definition = store_.Make<ListBP>();
  definition->NodesFrom(&store_);
  return definition;
}

ListBP* Forcfg::NewDefinition(const PairText* pairs, int n) {
  ListBP* definition = NewDefinition();
  // The pairs and their nodes first, then the values: texts need no alignment,
  // and kept together they leave no gap before the next pair.
  for (int i = 0; i < n; ++i) {
    BPair* pair = store_.Make<BPair>();
    pair->one.lend(pairs[i].name, static_cast<int>(std::strlen(pairs[i].name)) + 1);
    definition->add(pair);
  }
  for (int i = 1; i <= n; ++i) {
    BPair* pair = definition->get(i);
    const PairText& text = pairs[i - 1];
    pair->two.lend(store_.CopyText(text.value, text.len), static_cast<int>(text.len) + 1);
  }
  return definition;
}

BPair* Forcfg::NewPair(const char* name, const char* value, size_t len) {
  BPair* pair = store_.Make<BPair>();
  // Attribute names are few and constant: every pair of a name shares its text.
  pair->one.lend(name, static_cast<int>(std::strlen(name)) + 1);
  pair->two.lend(store_.CopyText(value, len), static_cast<int>(len) + 1);
  return pair;
}

void Forcfg::add(int n, ListBP* b) {
  if (b == nullptr || n < 0 || n >= kClasses) return;
  stz[n].add(b);
}

ListLP Forcfg::stanza(int i) const {
  if (i < 0 || i >= kClasses) return ListLP();
  return stz[i];
}
