// The install worker: downloads and unpacks the runtime when needed, writes out and unpacks
// the carried application, writes the stamp and starts the launcher application.
#pragma once

#include <windows.h>

// Thread procedure (no parameter). Reports through SetStatus and ends with FinishProgress,
// leaving an error text in BootProgress when a step failed. Returns 0.
DWORD WINAPI InstallWorker(LPVOID unused);
