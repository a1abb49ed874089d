/* What someone might leave beside Quorlin.exe in a Downloads folder: built as cmd.exe and
 * powershell.exe, and with PLANTED_DLL as wininet.dll. Whenever it runs or is loaded it
 * records its own path in planted.log; the programs then exit 1, and the library's WinINet
 * functions fail, so a program that loads it goes on to a plain failed download. */
#include <windows.h>

#include "record.h"

static void RecordSelf(HMODULE self) {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(self, path, MAX_PATH);
  RecordWrite(L"planted.log", {{L"module", Json(path)}, {L"commandLine", Json(GetCommandLineW())}});
}

#ifdef PLANTED_DLL
BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) RecordSelf(self);
  return TRUE;
}

/* Whatever their arguments, each answers no handle or FALSE: 0. */
#define FAILING(name) extern "C" __declspec(dllexport) INT_PTR name(void) { return 0; }
FAILING(InternetOpenW)
FAILING(InternetOpenUrlW)
FAILING(HttpQueryInfoW)
FAILING(InternetReadFile)
FAILING(InternetCloseHandle)
#else
int wmain(void) {
  RecordSelf(NULL);
  return 1;
}
#endif
