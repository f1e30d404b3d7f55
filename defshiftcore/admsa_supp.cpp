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

}  // namespace

Buffer::Buffer() : buf(nullptr), dlen(0), blen(0) {}

Buffer::~Buffer() {
  std::free(buf);
  buf = nullptr;
  blen = 0;
}

void Buffer::setto(const void* data, int len) {
  if (len < 0) len = 0;
  if (data == buf && buf != nullptr) {
    if (len <= blen) dlen = len;
    return;
  }
  if (blen < len) {
    std::free(buf);
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
    std::free(buf);
    buf = grown;
    blen = dlen + len;
  }
  std::memcpy(buf + dlen, data, static_cast<size_t>(len));
  dlen += len;
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

List::List() : base(nullptr) {}

List::List(const List& other) : base(other.base) {}

List::~List() {
  for (ListI* node = base; node != nullptr; node = node->next) rm(node);
}

void List::rm(void*) {}

void List::add(void* item) {
  ListI* node = new ListI{nullptr, item};
  if (base == nullptr) {
    base = node;
    return;
  }
  ListI* last = base;
  while (last->next != nullptr) last = last->next;
  last->next = node;
}

void* List::get(int num) const {
  if (num < 1) return nullptr;
  ListI* node = base;
  for (int step = 1; step < num && node != nullptr; ++step) node = node->next;
  return node != nullptr ? node->datum : nullptr;
}

InRec::InRec(const Buffer* other) {
  if (other != nullptr) setto(other->data(), other->len());
}

Rec::Rec(const void* data, int len) { setto(data, len); }

Forcfg::Forcfg() = default;

Forcfg::~Forcfg() = default;

void Forcfg::add(int n, ListBP* b) {
  if (b == nullptr || n < 0 || n >= kClasses) return;
  stz[n].add(b);
}

ListLP Forcfg::stanza(int i) const {
  if (i < 0 || i >= kClasses) return ListLP();
  return stz[i];
}
