// The one seam between the launcher and the system it runs on.
//
// The launcher calls nothing else. The Win32 backend (platform/win32/) maps
// each operation onto the Windows API of the same name; tests put an
// in-memory fake in its place. The types are the launcher's own so that no
// Windows header reaches the core. Every registry key lies under
// HKEY_LOCAL_MACHINE, the only root the launcher uses.
#ifndef OLMINIT_PLATFORM_PLATFORM_H_
#define OLMINIT_PLATFORM_PLATFORM_H_

namespace olm {

// 32 bits on every target the launcher is built for (ILP32, LLP64, LP64).
typedef unsigned int Dword;
typedef char DwordIsFourBytes[sizeof(Dword) == 4 ? 1 : -1];

// An open registry key; opaque to the launcher.
typedef struct RegistryKeyTag* RegistryKey;

const long kErrorSuccess = 0;

const Dword kRegDword = 4;
const Dword kKeyAllAccess = 0xF003F;
const Dword kMbOk = 0x00;
const Dword kMbIconExclamation = 0x30;

class Platform {
 public:
  // Writes the full path of the executable behind `instance` into `path`,
  // at most `capacity` units with the terminator, and returns its length
  // without the terminator; 0 on failure. A path that needs `capacity`
  // units or more is answered differently by each system:
  //   Windows CE 5.0: cut to capacity - 1 units, terminated; returns
  //     capacity - 1, as for a whole path of that length.
  //   Windows CE 6.0 to Compact 2013: writes nothing and returns 0.
  //   Desktop: returns capacity; cut to capacity - 1 units and terminated,
  //     or on Windows XP cut to capacity units with no terminator.
  virtual Dword GetModuleFileNameW(void* instance, wchar_t* path,
                                   Dword capacity) = 0;

  // Opens HKEY_LOCAL_MACHINE\`sub_key`. Returns kErrorSuccess and sets `key`,
  // or an error code when the key is absent or cannot be opened.
  virtual long RegOpenKeyExW(const wchar_t* sub_key, Dword options,
                             Dword access, RegistryKey* key) = 0;

  // Reads value `name` of `key`: its type into `type` and its bytes into
  // `data`, whose capacity `size` holds on entry and the value's length on
  // return. Returns kErrorSuccess, or an error code when the value is absent
  // or longer than the capacity (then `data` is undefined).
  virtual long RegQueryValueExW(RegistryKey key, const wchar_t* name,
                                Dword* type, unsigned char* data,
                                Dword* size) = 0;

  // Opens HKEY_LOCAL_MACHINE\`sub_key`, creating it (and its parents) when
  // absent, with no class and default security. Returns kErrorSuccess and
  // sets `key`, or an error code.
  virtual long RegCreateKeyExW(const wchar_t* sub_key, Dword options,
                               Dword access, RegistryKey* key) = 0;

  // Stores value `name` of `key` with `type` and `size` bytes of `data`,
  // replacing any value of that name. Returns kErrorSuccess or an error code.
  virtual long RegSetValueExW(RegistryKey key, const wchar_t* name, Dword type,
                              const unsigned char* data, Dword size) = 0;

  // Writes the key's changes to persistent storage before returning.
  // Returns kErrorSuccess or an error code; where the registry lives only in
  // RAM the code may be anything.
  virtual long RegFlushKey(RegistryKey key) = 0;

  // Releases a key received from RegOpenKeyExW or RegCreateKeyExW.
  virtual long RegCloseKey(RegistryKey key) = 0;

  // Blocks the calling thread for `milliseconds`.
  virtual void Sleep(Dword milliseconds) = 0;

  // Starts `application` with `command_line`: no inherited handles, no
  // creation flags, the launcher's environment and directory. The new
  // process runs on by itself; its handles are released at once. Returns
  // nonzero when the process was started, 0 when not.
  virtual int CreateProcessW(const wchar_t* application,
                             wchar_t* command_line) = 0;

  // Shows a modal box with no owner window and returns once it is dismissed.
  virtual int MessageBoxW(const wchar_t* text, const wchar_t* caption,
                          Dword style) = 0;

 protected:
  ~Platform() {}
};

}  // namespace olm

#endif  // OLMINIT_PLATFORM_PLATFORM_H_
