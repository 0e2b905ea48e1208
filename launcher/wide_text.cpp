#include "launcher/wide_text.h"

namespace olm {

Dword FindExtension(const wchar_t* path) {
  Dword extension = kNoExtension;
  for (Dword i = 0; path[i] != L'\0'; ++i) {
    if (path[i] == L'.')
      extension = i;
    else if (path[i] == L'\\' || path[i] == L'/')
      extension = kNoExtension;  // a '.' in a folder name is no extension
  }
  return extension;
}

bool AppendText(wchar_t* buffer, Dword capacity, Dword* length,
                const wchar_t* text) {
  Dword text_length = 0;
  while (text[text_length] != L'\0')
    ++text_length;
  if (*length >= capacity || text_length >= capacity - *length)
    return false;
  for (Dword i = 0; i <= text_length; ++i)
    buffer[*length + i] = text[i];
  *length += text_length;
  return true;
}

bool FormatText(wchar_t* buffer, Dword capacity, const wchar_t* pattern,
                const wchar_t* argument) {
  Dword length = 0;
  for (const wchar_t* p = pattern; *p != L'\0'; ++p) {
    if (p[0] == L'%' && p[1] == L's') {
      if (!AppendText(buffer, capacity, &length, argument))
        return false;
      ++p;
      continue;
    }
    if (length + 1 >= capacity)
      return false;
    buffer[length++] = *p;
  }
  if (length >= capacity)
    return false;
  buffer[length] = L'\0';
  return true;
}

}  // namespace olm
