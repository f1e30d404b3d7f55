// What a byte of a console's code page stands for in code page 1252, asked of
// the platform (iconv, or MultiByteToWideChar and WideCharToMultiByte) apart
// from the library, for the tests of texts written for the console.
#ifndef TESTS_SUPPORT_CODE_PAGES_H_
#define TESTS_SUPPORT_CODE_PAGES_H_

// The byte of code page 1252 for the character that byte Byte stands for in
// code page Console; -1 when 1252 does not hold it or Console is not known.
int BackTo1252(unsigned Console, unsigned char Byte);

#endif  // TESTS_SUPPORT_CODE_PAGES_H_
