// The process entry: hands the argument text to the launcher and makes its
// status the exit code.
#include <windows.h>

#include "launcher/launcher.h"
#include "platform/win32/win32_platform.h"

namespace {

int RunLauncher(HINSTANCE instance, LPWSTR argument_text) {
  olm::Win32Platform platform;
  return olm::LauncherEntry(platform, instance, argument_text);
}

}  // namespace

#ifdef UNDER_CE
// Windows CE's start-up code passes the argument text as wide text already.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPWSTR argument_text, int) {
  return RunLauncher(instance, argument_text);
}
#else
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR argument_text, int) {
  return RunLauncher(instance, argument_text);
}
#endif
