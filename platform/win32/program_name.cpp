#include "platform/win32/program_name.h"

namespace olm {

wchar_t* SkipProgramName(wchar_t* command_line) {
  wchar_t* p = command_line;
  // The name ends at the first blank or control character outside quotes;
  // quotes may open and close anywhere in it.
  bool quoted = false;
  while (*p > L' ' || (*p != L'\0' && quoted)) {
    if (*p == L'"')
      quoted = !quoted;
    ++p;
  }
  while (*p != L'\0' && *p <= L' ')
    ++p;
  return p;
}

}  // namespace olm
