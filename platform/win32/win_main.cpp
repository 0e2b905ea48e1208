// The process entry: hands the argument text to the launcher and makes its
// status the exit code.
// First: on 64-bit targets the mingw-w64 headers define NULL as 0LL, which
// C++03 does not have, unless the compiler's own NULL came before.
#include <stddef.h>
#include <windows.h>

#include "launcher/launcher.h"
#include "platform/win32/program_name.h"
#include "platform/win32/win32_platform.h"

namespace {

int RunLauncher(HINSTANCE instance, LPWSTR argument_text) {
  olm::Win32Platform platform;
  return olm::LauncherEntry(platform, instance, argument_text);
}

}  // namespace

#if defined(UNDER_CE)
// Windows CE's start-up code passes the argument text as wide text already.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPWSTR argument_text, int) {
  return RunLauncher(instance, argument_text);
}
#if !defined(OLM_CRT_STARTUP)
// Without the C runtime: Windows CE calls the executable's entry with
// WinMain's own four arguments (the CE docs of /ENTRY and EXEENTRY). COREDLL
// has no ExitProcess; when the primary thread calls ExitThread the process
// ends, with that code as its exit code (ExitThread, CE 5.0 to Compact 2013).
extern "C" void OlmInitStartup(HINSTANCE instance, HINSTANCE previous,
                               LPWSTR argument_text, int show) {
  ::ExitThread(
      static_cast<DWORD>(WinMain(instance, previous, argument_text, show)));
}
#endif
#elif defined(OLM_CRT_STARTUP)
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR argument_text, int) {
  return RunLauncher(instance, argument_text);
}
#else
// Desktop without the C runtime: the launcher uses none of what its start-up
// code prepares, and that code would be most of the executable. The linker
// enters the process here.
extern "C" void OlmInitStartup() {
  ::ExitProcess(static_cast<UINT>(RunLauncher(
      ::GetModuleHandleW(NULL), olm::SkipProgramName(::GetCommandLineW()))));
}
#endif
