// Quorlin.exe: installs the runtime and the launcher application on first start, then starts
// the launcher application. Takes no arguments; the exit code is always 0.
#include <windows.h>
#include <objbase.h>

#include "startup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // The shell start of the launcher application needs COM on this thread.
  (void)CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  RunBootstrapper(instance);
  return 0;
}
