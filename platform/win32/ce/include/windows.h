// windows.h for the Windows CE builds made with the mingw-w64 headers, which
// declare the desktop's WinMain with narrow text; Windows CE hands WinMain
// its argument text as wide text. Searched before the mingw-w64 headers.
#ifndef OLMINIT_PLATFORM_WIN32_CE_WINDOWS_H_
#define OLMINIT_PLATFORM_WIN32_CE_WINDOWS_H_

// On x86 Windows CE's platform calling convention is cdecl: WINAPI is
// __cdecl and COREDLL's exports are undecorated. The mingw-w64 headers
// would make it __stdcall, whose callee-pops calls leave the stack off by
// the arguments' size at every call into COREDLL.
#if defined(__i386__) && !defined(WINAPI)
#define WINAPI __cdecl
#endif

#define WinMain OlmDesktopWinMain
#include_next <windows.h>
#undef WinMain

#ifdef __cplusplus
extern "C" {
#endif
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR argument_text,
                   int show);
#ifdef __cplusplus
}
#endif

#endif  // OLMINIT_PLATFORM_WIN32_CE_WINDOWS_H_
