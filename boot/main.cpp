// Quorlin.exe: installs the runtime and the launcher application on first start, then starts
// the launcher application. Takes no arguments; the exit code is always 0.
#include <windows.h>
#include <objbase.h>

#include "dpi.h"
#include "startup.h"
#include "system_libraries.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  RestrictLibrarySearch();
  // Before COM, which may create a window of its own: windows take the awareness in force
  // when they are made.
  DeclareDpiAwareness();
  // The shell start of the launcher application needs COM on this thread.
  (void)CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  RunBootstrapper(instance);
  return 0;
}
