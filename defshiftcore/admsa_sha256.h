// SHA-256 (FIPS 180-4), the digest behind the fingerprints of the journal of a
// command file. Written here so that a fingerprint is the same on every system
// the library is built for, with nothing to link.
#ifndef DEFSHIFTCORE_ADMSA_SHA256_H_
#define DEFSHIFTCORE_ADMSA_SHA256_H_

#include <array>
#include <cstddef>
#include <cstdint>

class Sha256 {
 public:
  static constexpr size_t kDigestSize = 32;

  Sha256();
  // Adds the Length bytes at Data to the message.
  void Update(const void* Data, size_t Length);
  // Ends the message and returns its digest. The object then starts a new,
  // empty message.
  std::array<uint8_t, kDigestSize> Final();

 private:
  void Reset();
  // Takes in the 64 bytes at Block.
  void Compress(const uint8_t* Block);

  uint32_t state_[8];
  uint64_t length_;  // bytes of the message so far
  uint8_t block_[64];
  size_t used_;  // bytes of block_ filled
};

#endif  // DEFSHIFTCORE_ADMSA_SHA256_H_
