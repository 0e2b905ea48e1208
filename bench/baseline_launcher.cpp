// The least a launcher can do: start the system's interpreter on the batch
// file named by its argument text, and end. Built like OlmInit.exe, without
// the C runtime's start-up, so the two differ only in OlmInit's own work.
#include <windows.h>

#include "platform/win32/program_name.h"

extern "C" void BaselineStartup() {
  wchar_t interpreter[MAX_PATH];
  UINT length = GetSystemDirectoryW(interpreter, MAX_PATH - 9);
  lstrcpyW(interpreter + length, L"\\cmd.exe");
  wchar_t line[MAX_PATH * 2 + 16];
  lstrcpyW(line, L"\"");
  lstrcatW(line, interpreter);
  lstrcatW(line, L"\" /C \"");
  lstrcatW(line, olm::SkipProgramName(GetCommandLineW()));
  lstrcatW(line, L"\"");
  STARTUPINFOW startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started;
  BOOL ok = CreateProcessW(interpreter, line, NULL, NULL, FALSE, 0, NULL, NULL,
                           &startup, &started);
  if (ok) {
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
  }
  ExitProcess(ok ? 0 : 1);
}
