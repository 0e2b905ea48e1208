// The delay scan against the C library's swscanf(text, L" %i%c", ...) on
// many generated texts, wherever the library's result is defined.
//
// Deliberate differences, left out of the comparison here and pinned down
// in rows of tests/contract/cases.txt instead:
// - numbers outside the int range: undefined behaviour for %i; the launcher
//   takes -2147483648 to 4294967295 as 32-bit patterns and refuses the rest;
// - "0x" or "0X" with no hex digit after it: libraries disagree (some read
//   the 0, some fail); the launcher refuses it;
// - white space other than the six ASCII ones: the launcher skips only
//   those, as the C locale does; the texts here use no other.
#include <gtest/gtest.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <clocale>
#include <cstdlib>
#include <cwchar>
#include <random>
#include <string>

#include "launcher/delay_switch.h"

namespace olm {
namespace {

// Whether swscanf's result is defined for `text`: its number, if it has
// one, lies in the int range, and a 0x prefix is followed by a hex digit.
bool LibraryResultIsDefined(const std::wstring& text) {
  std::string ascii(text.begin(), text.end());
  const char* p = ascii.c_str();
  while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
    ++p;
  const char* unsigned_part = (*p == '+' || *p == '-') ? p + 1 : p;
  if (unsigned_part[0] == '0' &&
      (unsigned_part[1] == 'x' || unsigned_part[1] == 'X') &&
      !std::isxdigit(static_cast<unsigned char>(unsigned_part[2])))
    return false;
  errno = 0;
  long long value = std::strtoll(p, nullptr, 0);
  return errno != ERANGE && value >= INT_MIN && value <= INT_MAX;
}

std::wstring GenerateText(std::mt19937& random) {
  static const wchar_t* const kBlanks[] = {L"",   L"",      L" ",   L"  ",
                                           L"\t", L"\n \r", L"\v\f"};
  static const wchar_t* const kSigns[] = {L"", L"", L"+", L"-", L"--", L"+-"};
  static const wchar_t* const kPrefixes[] = {L"",   L"",   L"0", L"0x",
                                             L"0X", L"00", L"x"};
  static const wchar_t* const kDigitSets[] = {
      L"0123456789", L"01234567", L"0123456789abcdefABCDEF", L"89", L"9"};
  static const wchar_t* const kTails[] = {L"",  L"",  L"",   L" ", L"\t", L"x",
                                          L"g", L"8", L".5", L"0", L"-"};
  auto pick = [&random](auto& list) {
    return list[random() % (sizeof list / sizeof list[0])];
  };
  std::wstring text = std::wstring(pick(kBlanks)) + pick(kSigns) +
                      pick(kBlanks) + pick(kPrefixes);
  const wchar_t* digits = pick(kDigitSets);
  size_t digit_count = random() % 14;
  if (random() % 50 == 0)
    digit_count = 100;  // the longest a command line carries
  for (size_t i = 0; i < digit_count; ++i)
    text += digits[random() % std::wcslen(digits)];
  return text + pick(kTails);
}

TEST(DelayScanDifferentialTest, AgreesWithTheCLibraryWhereItsResultIsDefined) {
  std::setlocale(LC_ALL, "C");
  std::mt19937 random(20261208);
  int compared = 0, accepted = 0;
  for (int i = 0; i < 300000; ++i) {
    std::wstring text = GenerateText(random);
    if (!LibraryResultIsDefined(text))
      continue;
    int number = 0;
    wchar_t spare = 0;
    bool library_accepts =
        std::swscanf(text.c_str(), L" %i%c", &number, &spare) == 1;
    Dword delay = 0;
    bool launcher_accepts = ScanDelay(text.c_str(), &delay);
    std::string shown(text.begin(), text.end());
    ASSERT_EQ(launcher_accepts, library_accepts) << '"' << shown << '"';
    if (library_accepts) {
      ASSERT_EQ(delay, static_cast<Dword>(number)) << '"' << shown << '"';
    }
    ++compared;
    accepted += library_accepts;
  }
  // The generator must reach both answers often enough to mean something.
  EXPECT_GT(compared, 100000);
  EXPECT_GT(accepted, 10000);
  EXPECT_GT(compared - accepted, 10000);
}

}  // namespace
}  // namespace olm
