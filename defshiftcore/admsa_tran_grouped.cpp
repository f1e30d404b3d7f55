#include "admsa_tran_grouped.h"

std::string Grouped(long Number) {
  std::string grouped;
  AppendGrouped(Number, &grouped);
  return grouped;
}

void AppendGrouped(long Number, std::string* rOut) {
  // Every command of a checked file names its line: no formatting call.
  char digits[32];
  char* p = digits + sizeof digits;
  unsigned long n = Number < 0 ? 0ul - static_cast<unsigned long>(Number) : Number;
  int count = 0;
  do {
    if (count++ % 3 == 0 && count > 1) *--p = ',';
    *--p = static_cast<char>('0' + n % 10);
    n /= 10;
  } while (n != 0);
  if (Number < 0) *--p = '-';
  rOut->append(p, static_cast<size_t>(digits + sizeof digits - p));
}
