#include "launcher/batch_launch.h"

#include "launcher/wide_text.h"

namespace olm {

const wchar_t kInterpreterPath[] = L"\\Windows\\cmd.exe";

namespace {

const wchar_t kCreateProcessFailedPattern[] = L"Create process '%s' failed!";

// The interpreter expands %NAME% on its command line even inside quotes, and
// no escape survives that reliably: such a path would run some other file.
bool HoldsPercent(const wchar_t* text, Dword length) {
  for (Dword i = 0; i < length; ++i) {
    if (text[i] == L'%')
      return true;
  }
  return false;
}

}  // namespace

int BatchLaunch(Platform& platform, wchar_t (&module_path)[kBufferUnits],
                Dword extension) {
  // Whatever the extension's length, the batch file's is "bat".
  Dword batch_length = extension + 1;
  wchar_t command_line[kBufferUnits];
  Dword command_length = 0;
  bool fits =
      batch_length < kBufferUnits && !HoldsPercent(module_path, batch_length);
  if (fits) {
    module_path[batch_length] = L'\0';
    command_line[0] = L'\0';
    fits =
        AppendText(module_path, kBufferUnits, &batch_length, L"bat") &&
        AppendText(command_line, kBufferUnits, &command_length, L"/C \"") &&
        AppendText(command_line, kBufferUnits, &command_length, module_path) &&
        AppendText(command_line, kBufferUnits, &command_length, L"\"");
  }
  if (!fits) {
    // A cut or rewritten batch path would start some other file: refuse it
    // like a module name the launcher cannot use.
    ShowFailureBox(platform, kUnexpectedModuleNameText, kStartFailureCaption);
    return kStatusFailure;
  }

  if (platform.CreateProcessW(kInterpreterPath, command_line) != 0)
    return kStatusOk;

  // The batch path is no longer needed; its buffer holds the failure text.
  FormatText(module_path, kBufferUnits, kCreateProcessFailedPattern,
             kInterpreterPath);
  ShowFailureBox(platform, module_path, kStartFailureCaption);
  return kStatusLaunchFailure;
}

}  // namespace olm
