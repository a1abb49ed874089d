/* Stand-in for the runtime's electron.exe (installed under the product's name). Started, it
 * records where and how it was started in electron.log: working directory, command line and
 * argument count, QUORLIN_EXE, QUORLIN_BOOT, its own path, and whether the application it
 * would load (resources\app\main.js beside it) is there. Then it exits. */
#include <windows.h>
#include <shellapi.h>

#include "record.h"

static void RecordEnv(Record *r, const wchar_t *name) {
  wchar_t value[4096];
  RecordString(r, name, ReadEnv(name, value, 4096) ? value : NULL);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR commandLine, int show) {
  (void)instance; (void)previous; (void)commandLine; (void)show;
  Record r;
  wchar_t cwd[MAX_PATH], self[MAX_PATH], app[MAX_PATH * 2];
  int argc = 0;
  LocalFree(CommandLineToArgvW(GetCommandLineW(), &argc));
  GetCurrentDirectoryW(MAX_PATH, cwd);
  GetModuleFileNameW(NULL, self, MAX_PATH);
  wcscpy(app, self);
  wchar_t *slash = wcsrchr(app, L'\\');
  wcscpy(slash ? slash + 1 : app, L"resources\\app\\main.js");
  DWORD attributes = GetFileAttributesW(app);

  RecordBegin(&r);
  RecordString(&r, L"cwd", cwd);
  RecordString(&r, L"commandLine", GetCommandLineW());
  RecordNumber(&r, L"argc", argc);
  RecordString(&r, L"self", self);
  RecordEnv(&r, L"QUORLIN_EXE");
  RecordEnv(&r, L"QUORLIN_BOOT");
  RecordBool(&r, L"appPresent",
             attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY));
  RecordWrite(&r, L"electron.log");
  return 0;
}
