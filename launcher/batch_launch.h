// The last step of run mode: start the interpreter on the companion batch file.
#ifndef OLMINIT_LAUNCHER_BATCH_LAUNCH_H_
#define OLMINIT_LAUNCHER_BATCH_LAUNCH_H_

#include "launcher/launcher.h"

namespace olm {

extern const wchar_t kInterpreterPath[];

// Turns `module_path`, whose extension opens with the '.' at `extension`,
// into the batch path in place and starts the interpreter with
// /C "<batch path>". Returns kStatusOk once started; after a failure box,
// kStatusLaunchFailure when the platform refused the start, or
// kStatusFailure when the batch path holds a '%' or it or the command line
// would not fit.
int BatchLaunch(Platform& platform, wchar_t (&module_path)[kBufferUnits],
                Dword extension);

}  // namespace olm

#endif  // OLMINIT_LAUNCHER_BATCH_LAUNCH_H_
