/* Stand-in for the runtime's electron.exe (installed under the product's name). Started, it
 * records where and how it was started in electron.log: working directory, command line and
 * argument count, QUORLIN_EXE, QUORLIN_BOOT, its own path, and whether the application it
 * would load (resources\app\main.js beside it) is there. Then it exits. */
#include <windows.h>
#include <shellapi.h>

#include "record.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  wchar_t cwd[MAX_PATH], self[MAX_PATH];
  int argc = 0;
  LocalFree(CommandLineToArgvW(GetCommandLineW(), &argc));
  GetCurrentDirectoryW(MAX_PATH, cwd);
  GetModuleFileNameW(NULL, self, MAX_PATH);
  std::wstring app(self);
  app = app.substr(0, app.rfind(L'\\') + 1) + L"resources\\app\\main.js";
  DWORD attributes = GetFileAttributesW(app.c_str());
  const bool appPresent = attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  RecordWrite(L"electron.log", {{L"cwd", Json(cwd)}, {L"commandLine", Json(GetCommandLineW())},
                                {L"argc", std::to_wstring(argc)}, {L"self", Json(self)},
                                {L"QUORLIN_EXE", Json(ReadEnv(L"QUORLIN_EXE"))},
                                {L"QUORLIN_BOOT", Json(ReadEnv(L"QUORLIN_BOOT"))},
                                {L"appPresent", appPresent ? L"true" : L"false"}});
  return 0;
}
