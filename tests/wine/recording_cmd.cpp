// Stands in for the system's cmd.exe in a test prefix: appends its start time
// and exact command line to C:\olm_record.txt, then hands the same arguments
// to the real interpreter, kept beside it as real_cmd.exe.
#include <windows.h>

#include <string>

namespace {

unsigned long long Now() {
  FILETIME t;
  GetSystemTimeAsFileTime(&t);
  return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) |
         t.dwLowDateTime;
}

void Record(unsigned long long started, const wchar_t* line) {
  std::wstring entry = std::to_wstring(started) + L"|" + line + L"\n";
  int size = WideCharToMultiByte(CP_UTF8, 0, entry.c_str(), -1, nullptr, 0,
                                 nullptr, nullptr);
  std::string utf8(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, entry.c_str(), -1, utf8.data(), size, nullptr,
                      nullptr);
  HANDLE file = CreateFileW(L"C:\\olm_record.txt", FILE_APPEND_DATA, 0, nullptr,
                            OPEN_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, utf8.data(), DWORD(utf8.size() - 1), &written, nullptr);
  CloseHandle(file);
}

// What follows the program name, by the rules the C runtime uses for argv[0].
const wchar_t* AfterProgramName(const wchar_t* line) {
  if (*line == L'"') {
    ++line;
    while (*line && *line != L'"')
      ++line;
    if (*line)
      ++line;
  } else {
    while (*line && *line != L' ' && *line != L'\t')
      ++line;
  }
  return line;
}

}  // namespace

int wmain() {
  unsigned long long started = Now();
  const wchar_t* line = GetCommandLineW();
  Record(started, line);

  wchar_t real[MAX_PATH];
  GetSystemDirectoryW(real, MAX_PATH);
  lstrcatW(real, L"\\real_cmd.exe");
  std::wstring real_line =
      std::wstring(L"\"") + real + L"\"" + AfterProgramName(line);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(real, real_line.data(), nullptr, nullptr, FALSE, 0,
                      nullptr, nullptr, &startup, &process))
    return 9009;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  return int(code);
}
