#include "tests/fake_platform.h"

#include <algorithm>
#include <cstring>

namespace olm {

namespace {

const long kErrorFileNotFound = 2;
const long kErrorAccessDenied = 5;
const long kErrorInvalidHandle = 6;
const long kErrorMoreData = 234;
// Fills what a call leaves of a buffer, so that code relying on a zero it
// never wrote shows its fault.
const wchar_t kPoisonUnit = 0xA5A5;
const unsigned char kPoisonByte = 0xA5;

}  // namespace

const RegistryValue* FakePlatform::StoredWait() const {
  auto key = registry.find(kExpectedWaitKeyPath);
  if (key == registry.end())
    return nullptr;
  auto value = key->second.find(kExpectedWaitValueName);
  return value == key->second.end() ? nullptr : &value->second;
}

Dword FakePlatform::GetModuleFileNameW(void*, wchar_t* path, Dword capacity) {
  module_path_capacity = capacity;
  std::fill(path, path + capacity, kPoisonUnit);
  if (module_path_query_fails)
    return 0;
  if (module_path.size() >= capacity) {
    switch (module_name_system) {
      case ModuleNameSystem::kCe5:  // cut, terminated, as if whole
        std::memcpy(path, module_path.data(), (capacity - 1) * sizeof(wchar_t));
        path[capacity - 1] = L'\0';
        return capacity - 1;
      case ModuleNameSystem::kCe6:  // nothing written
        return 0;
      case ModuleNameSystem::kDesktopXp:  // the buffer full, unterminated
        std::memcpy(path, module_path.data(), capacity * sizeof(wchar_t));
        return capacity;
    }
  }
  std::memcpy(path, module_path.c_str(),
              (module_path.size() + 1) * sizeof(wchar_t));
  return Dword(module_path.size());
}

long FakePlatform::RegOpenKeyExW(const wchar_t* sub_key, Dword options,
                                 Dword access, RegistryKey* key) {
  key_requests.push_back({L"open", sub_key, options, access});
  if (open_fails)
    return kErrorAccessDenied;
  if (registry.find(sub_key) == registry.end())
    return kErrorFileNotFound;
  *key = Handle(sub_key);
  return kErrorSuccess;
}

long FakePlatform::RegQueryValueExW(RegistryKey key, const wchar_t* name,
                                    Dword* type, unsigned char* data,
                                    Dword* size) {
  auto* values = Key(key);
  if (values == nullptr)
    return kErrorInvalidHandle;
  auto value = values->find(name);
  if (value == values->end())
    return kErrorFileNotFound;
  const std::vector<unsigned char>& bytes = value->second.bytes;
  *type = value->second.type;
  Dword capacity = *size;
  *size = Dword(bytes.size());
  if (bytes.size() > capacity) {
    std::fill(data, data + capacity, kPoisonByte);
    return kErrorMoreData;
  }
  if (!bytes.empty())
    std::memcpy(data, bytes.data(), bytes.size());
  return kErrorSuccess;
}

long FakePlatform::RegCreateKeyExW(const wchar_t* sub_key, Dword options,
                                   Dword access, RegistryKey* key) {
  key_requests.push_back({L"create", sub_key, options, access});
  if (create_fails)
    return kErrorAccessDenied;
  registry[sub_key];
  ++registry_writes;
  *key = Handle(sub_key);
  return kErrorSuccess;
}

long FakePlatform::RegSetValueExW(RegistryKey key, const wchar_t* name,
                                  Dword type, const unsigned char* data,
                                  Dword size) {
  auto* values = Key(key);
  if (values == nullptr)
    return kErrorInvalidHandle;
  if (set_fails)
    return kErrorAccessDenied;
  (*values)[name] = RegistryValue{type, {data, data + size}};
  ++registry_writes;
  flushes = 0;
  return kErrorSuccess;
}

long FakePlatform::RegFlushKey(RegistryKey key) {
  if (Key(key) == nullptr)
    return kErrorInvalidHandle;
  ++flushes;
  return flush_result;
}

long FakePlatform::RegCloseKey(RegistryKey key) {
  if (Key(key) == nullptr)
    return kErrorInvalidHandle;
  handles_[reinterpret_cast<size_t>(key) - 1].clear();
  --open_keys;
  return kErrorSuccess;
}

void FakePlatform::Sleep(Dword milliseconds) {
  waits.push_back(milliseconds);
}

int FakePlatform::CreateProcessW(const wchar_t* application,
                                 wchar_t* command_line) {
  starts.push_back({application, command_line, waits.size()});
  return create_process_result;
}

int FakePlatform::MessageBoxW(const wchar_t* text, const wchar_t* caption,
                              Dword style) {
  boxes.push_back({text, caption, style});
  return 1;  // IDOK
}

std::map<std::wstring, RegistryValue>* FakePlatform::Key(RegistryKey key) {
  size_t index = reinterpret_cast<size_t>(key);
  if (index == 0 || index > handles_.size() || handles_[index - 1].empty()) {
    ++bad_keys;
    return nullptr;
  }
  return &registry[handles_[index - 1]];
}

RegistryKey FakePlatform::Handle(const std::wstring& sub_key) {
  handles_.push_back(sub_key);
  ++open_keys;
  return reinterpret_cast<RegistryKey>(handles_.size());
}

}  // namespace olm
