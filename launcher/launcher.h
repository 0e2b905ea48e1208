// The launcher's entry and what its steps share: exit statuses, buffer size,
// the start delay setting and the failure box.
#ifndef OLMINIT_LAUNCHER_LAUNCHER_H_
#define OLMINIT_LAUNCHER_LAUNCHER_H_

#include "platform/platform.h"

namespace olm {

const int kStatusOk = 0;
const int kStatusFailure = -1;        // module name, registry, usage
const int kStatusLaunchFailure = -2;  // the interpreter did not start

// Every text the launcher builds lives in a buffer of this many units.
const Dword kBufferUnits = 128;

// The start delay setting: milliseconds to wait before the batch launch.
extern const wchar_t kWaitKeyPath[];
extern const wchar_t kWaitValueName[];

extern const wchar_t kStartFailureCaption[];
extern const wchar_t kUnexpectedModuleNameText[];

// Every failure is reported the same way: one OK button, the exclamation
// icon, no owner. The answer carries no choice, so it is not examined.
inline void ShowFailureBox(Platform& platform, const wchar_t* text,
                           const wchar_t* caption) {
  platform.MessageBoxW(text, caption, kMbOk | kMbIconExclamation);
}

// Runs one start: in run mode waits for the stored delay and starts the
// interpreter on the companion batch file; with a leading -w or /w stores the
// delay instead. `argument_text` may be null. Returns the exit status.
int LauncherEntry(Platform& platform, void* instance,
                  const wchar_t* argument_text);

}  // namespace olm

#endif  // OLMINIT_LAUNCHER_LAUNCHER_H_
