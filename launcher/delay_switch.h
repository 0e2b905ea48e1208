// Set-delay mode: -w<number> or /w<number> stores the start delay.
#ifndef OLMINIT_LAUNCHER_DELAY_SWITCH_H_
#define OLMINIT_LAUNCHER_DELAY_SWITCH_H_

#include "launcher/launcher.h"

namespace olm {

extern const wchar_t kSetDelayCaption[];
extern const wchar_t kUsageText[];
extern const wchar_t kRegistryKeyErrorText[];

// True when `argument_text` (possibly null) begins with -w, -W, /w or /W.
bool IsDelaySwitch(const wchar_t* argument_text);

// Reads `text` the way swscanf reads " %i%c" and accepts it only when that
// would give exactly one conversion: white space, an optional sign, then
// decimal digits, octal digits after 0, or hex digits after 0x or 0X, and
// nothing after the number. Where C libraries disagree the result is fixed
// here: "0x" needs a hex digit, and a number must lie within -2147483648 and
// 4294967295. Sets `delay` to the number's 32-bit pattern when accepted.
bool ScanDelay(const wchar_t* text, Dword* delay);

// Stores the number after the switch of `argument_text` as the start delay.
// Returns kStatusOk, or kStatusFailure after the usage box or a registry
// failure box.
int SetDelayMode(Platform& platform, const wchar_t* argument_text);

}  // namespace olm

#endif  // OLMINIT_LAUNCHER_DELAY_SWITCH_H_
