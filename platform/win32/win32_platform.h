// The seam on the real Windows API: Windows CE (UNDER_CE) and desktop Windows.
#ifndef OLMINIT_PLATFORM_WIN32_WIN32_PLATFORM_H_
#define OLMINIT_PLATFORM_WIN32_WIN32_PLATFORM_H_

#include "platform/platform.h"

namespace olm {

class Win32Platform : public Platform {
 public:
  Dword GetModuleFileNameW(void* instance, wchar_t* path, Dword capacity);
  long RegOpenKeyExW(const wchar_t* sub_key, Dword options, Dword access,
                     RegistryKey* key);
  long RegQueryValueExW(RegistryKey key, const wchar_t* name, Dword* type,
                        unsigned char* data, Dword* size);
  long RegCreateKeyExW(const wchar_t* sub_key, Dword options, Dword access,
                       RegistryKey* key);
  long RegSetValueExW(RegistryKey key, const wchar_t* name, Dword type,
                      const unsigned char* data, Dword size);
  long RegFlushKey(RegistryKey key);
  long RegCloseKey(RegistryKey key);
  void Sleep(Dword milliseconds);
  int CreateProcessW(const wchar_t* application, wchar_t* command_line);
  int MessageBoxW(const wchar_t* text, const wchar_t* caption, Dword style);
};

}  // namespace olm

#endif  // OLMINIT_PLATFORM_WIN32_WIN32_PLATFORM_H_
