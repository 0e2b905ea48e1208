#include "launcher/batch_launch.h"
#include "launcher/delay_switch.h"
#include "launcher/launcher.h"
#include "launcher/wide_text.h"

namespace olm {

const wchar_t kWaitKeyPath[] =
    L"SOFTWARE\\OLM Controls\\OLM_2_10_0_3639\\OlmInit";
const wchar_t kWaitValueName[] = L"Wait";
const wchar_t kStartFailureCaption[] = L"OLM Init Failure";
const wchar_t kUnexpectedModuleNameText[] = L"Unexpected module name!";

namespace {

// One unit short of the buffer, so a path always leaves room to spare.
const Dword kModulePathCapacity = kBufferUnits - 1;
// Sleep() would take this as INFINITE, and the batch file would never run.
const Dword kWaitForever = 0xFFFFFFFFu;

// Fills `path` with the launcher's own path and returns the position of its
// extension's '.', or kNoExtension when there is no usable path.
Dword FindModulePath(Platform& platform, void* instance,
                     wchar_t (&path)[kBufferUnits]) {
  Dword length =
      platform.GetModuleFileNameW(instance, path, kModulePathCapacity);
  // A failed query leaves nothing to search. A path of capacity - 1 units
  // or more may have been cut (Windows CE 5.0 answers a cut one with
  // capacity - 1), and a cut path names another file.
  if (length == 0 || length >= kModulePathCapacity - 1)
    return kNoExtension;
  path[length] = L'\0';
  return FindExtension(path);
}

// Reads the stored delay. Any failure just means there is none.
bool LoadStartDelay(Platform& platform, Dword* delay) {
  RegistryKey key = 0;
  if (platform.RegOpenKeyExW(kWaitKeyPath, 0, 0, &key) != kErrorSuccess)
    return false;
  // A value shorter than four bytes leaves the high bytes zero.
  unsigned char data[4] = {0, 0, 0, 0};
  Dword type = 0;
  Dword size = sizeof data;
  long read =
      platform.RegQueryValueExW(key, kWaitValueName, &type, data, &size);
  platform.RegCloseKey(key);
  if (read != kErrorSuccess || size > sizeof data)
    return false;
  *delay = Dword(data[0]) | Dword(data[1]) << 8 | Dword(data[2]) << 16 |
           Dword(data[3]) << 24;
  return true;
}

}  // namespace

int LauncherEntry(Platform& platform, void* instance,
                  const wchar_t* argument_text) {
  wchar_t module_path[kBufferUnits];
  Dword extension = FindModulePath(platform, instance, module_path);
  if (extension == kNoExtension) {
    ShowFailureBox(platform, kUnexpectedModuleNameText, kStartFailureCaption);
    return kStatusFailure;
  }

  if (IsDelaySwitch(argument_text))
    return SetDelayMode(platform, argument_text);

  Dword delay = 0;
  if (LoadStartDelay(platform, &delay) && delay != kWaitForever)
    platform.Sleep(delay);

  return BatchLaunch(platform, module_path, extension);
}

}  // namespace olm
