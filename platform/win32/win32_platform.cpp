// Each operation is one call of the Windows API of the same name. The few
// places where desktop Windows (and so Wine) needs other arguments than
// Windows CE are marked "Desktop:" and kept inside #ifndef UNDER_CE.
#include "platform/win32/win32_platform.h"

// First: on 64-bit targets the mingw-w64 headers define NULL as 0LL, which
// C++03 does not have, unless the compiler's own NULL came before.
#include <stddef.h>
#include <windows.h>

namespace olm {

namespace {

HKEY ToHkey(RegistryKey key) {
  return reinterpret_cast<HKEY>(key);
}

long CreateKey(const wchar_t* sub_key, Dword options, Dword access,
               RegistryKey* key) {
  wchar_t no_class[] = L"";
  HKEY created = NULL;
  DWORD disposition = 0;  // created or opened: either will do
  LONG result =
      ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, sub_key, 0, no_class, options,
                        access, NULL, &created, &disposition);
  *key = reinterpret_cast<RegistryKey>(created);
  return result;
}

#ifndef UNDER_CE
// Room for the quoted system interpreter, " /S /C ", the launcher's line
// and the extra pair of quotes.
const int kDesktopLineUnits = MAX_PATH + 16 + 128;

// Desktop: "\Windows\cmd.exe" is the system's own interpreter in the system
// folder, and a desktop program expects its own quoted path as the first
// word of its command line. The launcher's line is /C "<batch path>"; the
// desktop cmd strips those quotes when the path holds &<>()@^| or no blank
// and then runs whatever a part of the path names (C:\a&b\x.bat runs
// C:\a.bat). With /S it strips only the outer pair of ""<batch path>"", so
// the path reaches it whole. Returns false when the line does not fit.
bool DesktopInterpreter(wchar_t (&path)[MAX_PATH],
                        wchar_t (&line)[kDesktopLineUnits],
                        const wchar_t* command_line) {
  const wchar_t kName[] = L"\\cmd.exe";
  UINT length = ::GetSystemDirectoryW(path, MAX_PATH);
  if (length == 0 || length + sizeof kName / sizeof kName[0] > MAX_PATH)
    return false;
  lstrcpyW(path + length, kName);
  if (command_line[0] != L'/' || command_line[1] != L'C' ||
      command_line[2] != L' ')
    return false;
  int rest = lstrlenW(command_line + 3);
  lstrcpyW(line, L"\"");
  lstrcatW(line, path);
  lstrcatW(line, L"\" /S /C \"");
  if (lstrlenW(line) + rest + 2 >= kDesktopLineUnits)
    return false;
  lstrcatW(line, command_line + 3);
  lstrcatW(line, L"\"");
  return true;
}
#endif

}  // namespace

Dword Win32Platform::GetModuleFileNameW(void* instance, wchar_t* path,
                                        Dword capacity) {
  return ::GetModuleFileNameW(static_cast<HMODULE>(instance), path, capacity);
}

long Win32Platform::RegOpenKeyExW(const wchar_t* sub_key, Dword options,
                                  Dword access, RegistryKey* key) {
#ifndef UNDER_CE
  // Desktop: Windows CE ignores the access mask; the desktop grants only
  // what is asked for, and reading the value needs KEY_QUERY_VALUE.
  access |= KEY_QUERY_VALUE;
#endif
  HKEY opened = NULL;
  LONG result =
      ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, sub_key, options, access, &opened);
  *key = reinterpret_cast<RegistryKey>(opened);
  return result;
}

long Win32Platform::RegQueryValueExW(RegistryKey key, const wchar_t* name,
                                     Dword* type, unsigned char* data,
                                     Dword* size) {
  DWORD value_type = 0;
  DWORD value_size = *size;
  LONG result = ::RegQueryValueExW(ToHkey(key), name, NULL, &value_type, data,
                                   &value_size);
  *type = value_type;
  *size = value_size;
  return result;
}

long Win32Platform::RegCreateKeyExW(const wchar_t* sub_key, Dword options,
                                    Dword access, RegistryKey* key) {
#ifndef UNDER_CE
  // Desktop: Windows CE ignores the mask; the desktop grants only what is
  // asked for, and all access fails on a key whose ACL grants less. The
  // store needs KEY_SET_VALUE, the flush after it KEY_QUERY_VALUE; a key
  // that grants only the first still takes the value, left to the system's
  // own lazy flush.
  long result =
      CreateKey(sub_key, options, KEY_SET_VALUE | KEY_QUERY_VALUE, key);
  if (result != ERROR_ACCESS_DENIED)
    return result;
  access = KEY_SET_VALUE;
#endif
  return CreateKey(sub_key, options, access, key);
}

long Win32Platform::RegSetValueExW(RegistryKey key, const wchar_t* name,
                                   Dword type, const unsigned char* data,
                                   Dword size) {
  return ::RegSetValueExW(ToHkey(key), name, 0, type, data, size);
}

long Win32Platform::RegFlushKey(RegistryKey key) {
  return ::RegFlushKey(ToHkey(key));
}

long Win32Platform::RegCloseKey(RegistryKey key) {
  return ::RegCloseKey(ToHkey(key));
}

void Win32Platform::Sleep(Dword milliseconds) {
  ::Sleep(milliseconds);
}

int Win32Platform::CreateProcessW(const wchar_t* application,
                                  wchar_t* command_line) {
  PROCESS_INFORMATION started;
#ifdef UNDER_CE
  BOOL ok = ::CreateProcessW(application, command_line, NULL, NULL, FALSE, 0,
                             NULL, NULL, NULL, &started);
#else
  wchar_t path[MAX_PATH];
  wchar_t line[kDesktopLineUnits];
  if (!DesktopInterpreter(path, line, command_line))
    return 0;
  (void)application;
  // Desktop: unlike Windows CE, the desktop requires start-up information.
  STARTUPINFOW startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  BOOL ok = ::CreateProcessW(path, line, NULL, NULL, FALSE, 0, NULL, NULL,
                             &startup, &started);
#endif
  if (!ok)
    return 0;
  // The interpreter runs on by itself; nothing here waits for it.
  ::CloseHandle(started.hThread);
  ::CloseHandle(started.hProcess);
  return 1;
}

int Win32Platform::MessageBoxW(const wchar_t* text, const wchar_t* caption,
                               Dword style) {
#ifdef UNDER_CE
  return ::MessageBoxW(NULL, text, caption, style);
#else
  // Desktop: loading user32 costs every start a noticeable share of its
  // time (it attaches to the window system), and only a failure needs it.
  typedef int(WINAPI * MessageBoxFunction)(HWND, LPCWSTR, LPCWSTR, UINT);
  HMODULE user32 = ::LoadLibraryW(L"user32.dll");
  FARPROC found = user32 ? ::GetProcAddress(user32, "MessageBoxW") : NULL;
  if (found == NULL)
    return 0;
  // Through void (*)(), the one cast between function types GCC accepts.
  MessageBoxFunction show =
      reinterpret_cast<MessageBoxFunction>(reinterpret_cast<void (*)()>(found));
  return show(NULL, text, caption, style);
#endif
}

}  // namespace olm
