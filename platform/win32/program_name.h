// Splitting the program's name off a desktop command line, for the entry
// that runs without the C runtime's start-up code.
#ifndef OLMINIT_PLATFORM_WIN32_PROGRAM_NAME_H_
#define OLMINIT_PLATFORM_WIN32_PROGRAM_NAME_H_

namespace olm {

// The argument text of `command_line`: what follows the program's name,
// quoted or not, and the blanks and tabs after it; as the C runtime hands it
// to wWinMain. Points into `command_line`.
wchar_t* SkipProgramName(wchar_t* command_line);

}  // namespace olm

#endif  // OLMINIT_PLATFORM_WIN32_PROGRAM_NAME_H_
