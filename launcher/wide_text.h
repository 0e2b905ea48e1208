// Bounded handling of terminated UTF-16 text in fixed buffers.
#ifndef OLMINIT_LAUNCHER_WIDE_TEXT_H_
#define OLMINIT_LAUNCHER_WIDE_TEXT_H_

#include "platform/platform.h"

namespace olm {

const Dword kNoExtension = ~Dword(0);

// Position of the '.' that opens the extension of the file name in `path`:
// the last '.' after the last '\' or '/'. kNoExtension when there is none.
Dword FindExtension(const wchar_t* path);

// Appends terminated `text` to the text of `*length` units in `buffer`, when
// the result fits `capacity` units with its terminator; otherwise writes
// nothing and returns false.
bool AppendText(wchar_t* buffer, Dword capacity, Dword* length,
                const wchar_t* text);

// Writes `pattern` into `buffer` with its "%s" replaced by `argument`, when
// the result fits `capacity` units with its terminator; returns false when
// not. Built here so the text is the same whichever C library is present.
bool FormatText(wchar_t* buffer, Dword capacity, const wchar_t* pattern,
                const wchar_t* argument);

}  // namespace olm

#endif  // OLMINIT_LAUNCHER_WIDE_TEXT_H_
