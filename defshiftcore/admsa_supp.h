// Core containers of the migration library: the growable byte buffer, the text,
// the attribute pair, the singly linked lists, the raw and reassembled source
// records, and the two fixed arrays of lists (source tables, translated classes).
//
// Ownership, on which every other module relies:
//  - A Buffer owns its storage; storage grows to exactly the size asked for and
//    never shrinks. Storage lent to a buffer (lend) stays its lender's.
//  - A list owns neither its nodes nor its items: destroying a list releases
//    nothing, and a copy of a list shares the nodes of the list it was copied from.
//  - The records that readinall files live in the Config's store and go with the
//    Config; the definitions, pairs and texts that the translation makes live in
//    the Forcfg's store and go with the Forcfg. Every node of their lists lives in
//    the same store. Records and definitions that a caller makes itself and adds
//    to a list are the caller's; the nodes of a list without a store live until
//    the process ends.
#ifndef DEFSHIFTCORE_ADMSA_SUPP_H_
#define DEFSHIFTCORE_ADMSA_SUPP_H_

#include <cstddef>

#include "admsa_arena.h"

struct Tabl;
struct Entry;

// A growable byte buffer. Invariant: len() <= capacity after every operation on
// storage of its own.
class Buffer {
 public:
  Buffer();
  ~Buffer();
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;

  // Replaces the contents with len bytes from data. When data is the buffer's own
  // storage only the length changes (used to shorten a text in place; len must not
  // exceed len()). Otherwise storage of at least len bytes is reused, or replaced
  // by storage of exactly len bytes.
  void setto(const void* data, int len);
  // Appends len bytes from data, which must not lie in this buffer's storage.
  void concat(const void* data, int len);
  // Makes the buffer hold the len bytes at storage without owning them: they are
  // lent by something that outlives the buffer (an Arena, a constant text). The
  // buffer never writes to them nor releases them; the first setto or concat that
  // changes its bytes moves them to storage of its own (shortening in place only
  // changes the length). Storage the buffer owned is released first.
  void lend(const void* storage, int len);

  unsigned char* data() const { return buf; }
  int len() const { return dlen; }

 protected:
  // Releases the storage when it is the buffer's own.
  void ReleaseStorage();

  unsigned char* buf;  // the storage; null when there is none
  int dlen;            // data bytes held
  int blen;            // size of the storage when the buffer owns it; 0 when it owns
                       // none (no storage, or storage lent to it)
};

// A NUL-terminated text held in a Buffer: len() is the text length plus 1 once set.
class BufStr : public Buffer {
 public:
  BufStr() = default;
  explicit BufStr(const char* s);

  // Replaces the text with a copy of s (terminator included); a null s changes nothing.
  void setstr(const char* s);
  // Appends s (not null) to the text held; on an empty BufStr acts as setstr.
  void constr(const char* s);

  char* data() const { return reinterpret_cast<char*>(buf); }
};

// An attribute name (one) and its value (two); the pair owns both texts, except
// those that a store lends it (Forcfg::NewPair).
struct BPair {
  BufStr one;
  BufStr two;
};

// One node of a list. Nodes are appended and never unlinked or released.
struct ListI {
  ListI* next;
  void* datum;
};

// A singly linked list of untyped items. Owns nothing; copies share nodes.
//
// Filling a list and reading it back in order costs constant time per item: the
// list keeps two hints, both copied with it. One is a node at or before the tail;
// add walks from it to the real end, which a copy sharing the nodes may have moved
// on. The other is the node that the last get reached, with its number; get walks
// on from it for that number or a higher one, and from the first node for a lower
// one. Since nodes are never unlinked, a hint never points at a wrong node; a stale
// one only costs a longer walk. The hints make get change the list's private state:
// a list must not be read from two threads at once.
class List {
 public:
  List();
  List(const List& other);  // shares other's nodes and items, and their store
  List& operator=(const List&) = delete;
  ~List();

  // Appends item (null items are stored like any other) at the tail, behind every
  // node that this list or any copy sharing its nodes has appended.
  void add(void* item);
  // The item of node num, counting from 1; null for num < 1, past the end, or
  // when the node holds a null item.
  void* get(int num) const;
  // The removal hook run on each node by the destructor; it does nothing.
  virtual void rm(void* node);

  // Nodes added from now on come from store, which must outlive every node (null:
  // from blocks that live until the process ends, as without a store).
  void NodesFrom(Arena* store) { store_ = store; }
  // Drops every node without releasing it: the list reads empty. For a store
  // that is about to release the nodes; copies still sharing them must not be read.
  void Forget();

 protected:
  ListI* base;  // first node; null when empty

 private:
  ListI* tail_;           // the last node, or a node before it; null when empty
  mutable ListI* seen_;   // the node that get reached last, or null
  mutable int seen_num_;  // its number, from 1
  Arena* store_;          // where new nodes come from, or null
};

class Rec;
class ListBP;

// The records of one source table.
class ListR final : public List {
 public:
  ListR() = default;
  void add(Rec* item) { List::add(item); }
  Rec* get(int num) const { return static_cast<Rec*>(List::get(num)); }
};

// The attribute pairs of one resource definition.
class ListBP final : public List {
 public:
  ListBP() = default;
  void add(BPair* item) { List::add(item); }
  BPair* get(int num) const { return static_cast<BPair*>(List::get(num)); }
};

// The definitions of one resource class.
class ListLP final : public List {
 public:
  ListLP() = default;
  ListLP(const ListLP& other) = default;  // shares other's nodes
  void add(ListBP* item) { List::add(item); }
  ListBP* get(int num) const { return static_cast<ListBP*>(List::get(num)); }
};

// One raw record of the control file, as the control-file store returns it.
class InRec : public Buffer {
 public:
  // An independent copy of the data bytes of *other.
  explicit InRec(const Buffer* other);
  // The table descriptor of the record's key character (byte 0), or null when the
  // record is empty or its key names no table. Not owned by the caller.
  const Tabl* getfor() const;
};

// One record of a source table after reassembly: the bytes of its layout's fields
// put back to back in layout order.
class Rec : public Buffer {
 public:
  Rec(const void* data, int len);
  // A record made in a store: it holds the len bytes at storage, lent by the store.
  static Rec* Lent(Arena* store, const void* storage, int len);

  // A new Buffer, owned by the caller: the len bytes of field fid as defined by the
  // layout of table tid, taken from this record (packed by the layout of table
  // dtab), followed by one NUL. When the field cannot be located, message 35 or 39
  // and then message 0 are reported and an empty Buffer is returned.
  Buffer* field(int tid, int dtab, int fid) const;
  // The layout entry of fid in table tid, or null (message 35 or 39 reported).
  // Adds the field's position in a record of table dtab to *pos. Reads only the
  // layouts, never a record.
  static const Entry* formatp(int tid, int dtab, int fid, int* pos);
  // The layout entry of field f in table t, or null (message 35 reported).
  static const Entry* format(int t, int f);
};

// The source tables: list i holds the records of table i in reading order.
class Config {
 public:
  static const int kTables = 10;

  // Ten empty tables whose nodes come from the Config's stores.
  Config();
  // Releases every record that AddRecord made, and every node.
  ~Config();
  Config(const Config&) = delete;
  Config& operator=(const Config&) = delete;

  // Files a copy of the len bytes at data as a new record at the end of table t
  // (0 to kTables - 1; nothing is filed for another t). The record lives as long as
  // the Config, or until Release(t).
  void AddRecord(int t, const void* data, int len);
  // Releases the records and nodes of table t, which then reads empty; records a
  // caller made itself and added stay the caller's.
  void Release(int t);

  ListR tab[kTables];

 private:
  // One store for each table, so that a table whose records are no longer needed
  // can go back on its own.
  Arena store_[kTables];
};

// The translated definitions, one list per resource class.
class Forcfg {
 public:
  static const int kClasses = 20;

  // Twenty empty class lists (used by tests and by the writer's callers).
  Forcfg();
  // The translation: builds every definition from the source tables of *conf.
  // Neither changes nor frees conf.
  explicit Forcfg(const Config* conf);
  ~Forcfg();
  Forcfg(const Forcfg&) = delete;
  Forcfg& operator=(const Forcfg&) = delete;

  // Appends definition b to class n when b is not null.
  void add(int n, ListBP* b);
  // The definitions of class i, sharing the nodes of the class list.
  ListLP stanza(int i) const;

  // A new empty definition made in the Forcfg's store, its nodes from there too;
  // it lives as long as the Forcfg and must not be deleted.
  ListBP* NewDefinition();
  // A new definition as NewDefinition makes it, holding n pairs as NewPair makes
  // them, from the name, value and value length of each of pairs[0] to pairs[n - 1].
  struct PairText {
    const char* name;
    const char* value;
    size_t len;
  };
  ListBP* NewDefinition(const PairText* pairs, int n);
  // A new pair made in the Forcfg's store, with the same lifetime: its name is the
  // text name, which must outlive the Forcfg (the attribute names of the rule
  // tables), lent to it; its value a copy of the len characters at value, lent by
  // the store. A change of either text gives the pair storage of its own, which is
  // not released: the pairs of a Forcfg are read, not changed.
  BPair* NewPair(const char* name, const char* value, size_t len);
  // The bytes the Forcfg's store holds.
  size_t held() const { return store_.held(); }

  ListLP stz[kClasses];

 private:
  Arena store_;
};

#endif  // DEFSHIFTCORE_ADMSA_SUPP_H_
