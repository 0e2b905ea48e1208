// An in-memory platform for tests: a registry that can be told to fail, and a
// log of every wait, process start and box the launcher asked for.
#ifndef OLMINIT_TESTS_FAKE_PLATFORM_H_
#define OLMINIT_TESTS_FAKE_PLATFORM_H_

#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace olm {

// The start delay setting's names as the contract writes them, so that tests
// do not follow a change of the launcher's own constants.
const wchar_t kExpectedWaitKeyPath[] =
    L"SOFTWARE\\OLM Controls\\OLM_2_10_0_3639\\OlmInit";
const wchar_t kExpectedWaitValueName[] = L"Wait";

// How GetModuleFileNameW answers a path that does not fit.
enum class ModuleNameSystem { kCe5, kCe6, kDesktopXp };

struct RegistryValue {
  Dword type;
  std::vector<unsigned char> bytes;
  bool operator==(const RegistryValue& o) const {
    return type == o.type && bytes == o.bytes;
  }
};

struct ProcessStart {
  std::wstring application;
  std::wstring command_line;
  size_t waits_before;
};

struct ShownBox {
  std::wstring text;
  std::wstring caption;
  Dword style;
};

struct KeyRequest {
  std::wstring call;  // L"open" or L"create"
  std::wstring sub_key;
  Dword options;
  Dword access;
};

class FakePlatform : public Platform {
 public:
  // What the system holds; tests set these up.
  std::wstring module_path = L"\\Windows\\OlmInit.exe";
  bool module_path_query_fails = false;
  ModuleNameSystem module_name_system = ModuleNameSystem::kCe5;
  std::map<std::wstring, std::map<std::wstring, RegistryValue>> registry;
  bool open_fails = false;
  bool create_fails = false;
  bool set_fails = false;
  long flush_result = kErrorSuccess;
  int create_process_result = 1;

  // What the launcher did, in order within each list.
  std::vector<KeyRequest> key_requests;
  std::vector<Dword> waits;
  std::vector<ProcessStart> starts;
  std::vector<ShownBox> boxes;
  int registry_writes = 0;
  int flushes = 0;    // after the last write
  int open_keys = 0;  // handles received and not yet released
  int bad_keys = 0;   // uses of a key never received or already released
  Dword module_path_capacity = 0;  // as the last query asked

  // The delay stored under the launcher's key, if any.
  const RegistryValue* StoredWait() const;

  Dword GetModuleFileNameW(void* instance, wchar_t* path,
                           Dword capacity) override;
  long RegOpenKeyExW(const wchar_t* sub_key, Dword options, Dword access,
                     RegistryKey* key) override;
  long RegQueryValueExW(RegistryKey key, const wchar_t* name, Dword* type,
                        unsigned char* data, Dword* size) override;
  long RegCreateKeyExW(const wchar_t* sub_key, Dword options, Dword access,
                       RegistryKey* key) override;
  long RegSetValueExW(RegistryKey key, const wchar_t* name, Dword type,
                      const unsigned char* data, Dword size) override;
  long RegFlushKey(RegistryKey key) override;
  long RegCloseKey(RegistryKey key) override;
  void Sleep(Dword milliseconds) override;
  int CreateProcessW(const wchar_t* application,
                     wchar_t* command_line) override;
  int MessageBoxW(const wchar_t* text, const wchar_t* caption,
                  Dword style) override;

 private:
  std::map<std::wstring, RegistryValue>* Key(RegistryKey key);
  RegistryKey Handle(const std::wstring& sub_key);

  std::vector<std::wstring> handles_;  // index + 1 is the handle
};

}  // namespace olm

#endif  // OLMINIT_TESTS_FAKE_PLATFORM_H_
