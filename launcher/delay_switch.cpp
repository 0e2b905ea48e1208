#include "launcher/delay_switch.h"

namespace olm {

const wchar_t kSetDelayCaption[] = L"OlmInit";
const wchar_t kUsageText[] =
    L"Use:\tOlmInit\t... for running the batch file OlmInit.bat\n"
    L"OR\tOlmInit -W<msec>\t... for setting delay <nnn> msec into the "
    L"registry";
const wchar_t kRegistryKeyErrorText[] = L"Registry key error!";

namespace {

const Dword kNotADigit = 99;

// The white space of the C locale, which is what the scan skips.
bool IsScanSpace(wchar_t c) {
  return c == L' ' || (c >= L'\t' && c <= L'\r');
}

Dword DigitValue(wchar_t c) {
  if (c >= L'0' && c <= L'9')
    return Dword(c - L'0');
  if (c >= L'a' && c <= L'f')
    return Dword(c - L'a' + 10);
  if (c >= L'A' && c <= L'F')
    return Dword(c - L'A' + 10);
  return kNotADigit;
}

}  // namespace

bool IsDelaySwitch(const wchar_t* argument_text) {
  return argument_text != 0 &&
         (argument_text[0] == L'-' || argument_text[0] == L'/') &&
         (argument_text[1] == L'w' || argument_text[1] == L'W');
}

bool ScanDelay(const wchar_t* text, Dword* delay) {
  const wchar_t* p = text;
  while (IsScanSpace(*p))
    ++p;
  bool negative = false;
  if (*p == L'+' || *p == L'-') {
    negative = *p == L'-';
    ++p;
  }
  Dword base = 10;
  if (p[0] == L'0') {
    base = 8;  // the 0 counts as the first octal digit
    if (p[1] == L'x' || p[1] == L'X') {
      base = 16;
      p += 2;
    }
  }
  // Divisions by constants only: ARMv7 has no divide instruction, and a
  // variable one would need a helper from a runtime the launcher lacks.
  const Dword limit = base == 16  ? 0xFFFFFFFFu / 16
                      : base == 8 ? 0xFFFFFFFFu / 8
                                  : 0xFFFFFFFFu / 10;
  Dword magnitude = 0;
  Dword digits = 0;
  for (Dword digit; (digit = DigitValue(*p)) < base; ++p, ++digits) {
    if (magnitude > limit ||
        (magnitude == limit && digit > 0xFFFFFFFFu - limit * base))
      return false;  // more than 32 bits
    magnitude = magnitude * base + digit;
  }
  if (digits == 0 || *p != L'\0')
    return false;
  if (negative) {
    if (magnitude > 0x80000000u)
      return false;  // below the signed 32-bit range
    magnitude = 0u - magnitude;
  }
  *delay = magnitude;
  return true;
}

int SetDelayMode(Platform& platform, const wchar_t* argument_text) {
  Dword delay = 0;
  // Storing a stray or undefined number would be worse than storing none.
  if (!ScanDelay(argument_text + 2, &delay)) {
    ShowFailureBox(platform, kUsageText, kSetDelayCaption);
    return kStatusFailure;
  }

  RegistryKey key = 0;
  if (platform.RegCreateKeyExW(kWaitKeyPath, 0, kKeyAllAccess, &key) !=
      kErrorSuccess) {
    ShowFailureBox(platform, kRegistryKeyErrorText, kSetDelayCaption);
    return kStatusFailure;
  }
  // REG_DWORD is little-endian whatever the host.
  const unsigned char data[4] = {static_cast<unsigned char>(delay),
                                 static_cast<unsigned char>(delay >> 8),
                                 static_cast<unsigned char>(delay >> 16),
                                 static_cast<unsigned char>(delay >> 24)};
  long stored =
      platform.RegSetValueExW(key, kWaitValueName, kRegDword, data, 4);
  // A hive-based registry may hold the new value only in RAM until some
  // later flush; a power cut right after -w would lose it. The value is in
  // effect already, and a RAM-based registry may answer the flush with any
  // code, so its answer cannot make the store a failure.
  if (stored == kErrorSuccess)
    platform.RegFlushKey(key);
  platform.RegCloseKey(key);
  if (stored != kErrorSuccess) {
    ShowFailureBox(platform, kRegistryKeyErrorText, kSetDelayCaption);
    return kStatusFailure;
  }
  return kStatusOk;
}

}  // namespace olm
