// Each operation is one call of the Windows API of the same name. The few
// places where desktop Windows (and so Wine) needs other arguments than
// Windows CE are marked "Desktop:" and kept inside #ifndef UNDER_CE.
#include "platform/win32/win32_platform.h"

#include <windows.h>

namespace olm {

namespace {

HKEY ToHkey(RegistryKey key) {
  return reinterpret_cast<HKEY>(key);
}

#ifndef UNDER_CE
// Desktop: "\Windows\cmd.exe" is the system's own interpreter in the system
// folder, and a desktop program expects its own quoted path as the first
// word of its command line, so the launcher's line follows that word.
// Returns false when the system folder's path does not fit `path`.
bool DesktopInterpreter(wchar_t (&path)[MAX_PATH],
                        wchar_t (&line)[MAX_PATH + 3 + 128],
                        const wchar_t* command_line) {
  const wchar_t kName[] = L"\\cmd.exe";
  UINT length = ::GetSystemDirectoryW(path, MAX_PATH);
  if (length == 0 || length + sizeof kName / sizeof kName[0] > MAX_PATH)
    return false;
  lstrcpyW(path + length, kName);
  lstrcpyW(line, L"\"");
  lstrcatW(line, path);
  lstrcatW(line, L"\" ");
  lstrcpynW(line + lstrlenW(line), command_line, 128);
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
  wchar_t no_class[] = L"";
  HKEY created = NULL;
  DWORD disposition = 0;  // created or opened: either will do
  LONG result =
      ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, sub_key, 0, no_class, options,
                        access, NULL, &created, &disposition);
  *key = reinterpret_cast<RegistryKey>(created);
  return result;
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
  wchar_t line[MAX_PATH + 3 + 128];
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
