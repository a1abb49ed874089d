/* Runs a program with a changed environment and exits with its exit code:
 *   runenv [-u NAME | -s NAME=VALUE]... -- <command line>
 * -u removes NAME, -s sets it. Everything after "--" is passed on as it was written. */
#include <windows.h>
#include <stdio.h>

int wmain(int argc, wchar_t **argv) {
  int i = 1;
  for (; i + 1 < argc && wcscmp(argv[i], L"--") != 0; i += 2) {
    if (wcscmp(argv[i], L"-u") == 0) {
      SetEnvironmentVariableW(argv[i + 1], NULL);
    } else if (wcscmp(argv[i], L"-s") == 0) {
      wchar_t *eq = wcschr(argv[i + 1], L'=');
      if (!eq) return 2;
      *eq = 0;
      SetEnvironmentVariableW(argv[i + 1], eq + 1);
    } else {
      return 2;
    }
  }
  const wchar_t *line = wcsstr(GetCommandLineW(), L" -- ");
  if (i >= argc || !line) {
    fputs("usage: runenv [-u NAME | -s NAME=VALUE]... -- <command line>\n", stderr);
    return 2;
  }
  static wchar_t command[32768];
  lstrcpynW(command, line + 4, 32768);
  STARTUPINFOW si = {sizeof si};
  PROCESS_INFORMATION pi;
  if (!CreateProcessW(NULL, command, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) {
    fprintf(stderr, "runenv: cannot start (error %lu)\n", GetLastError());
    return 3;
  }
  DWORD code = 1;
  WaitForSingleObject(pi.hProcess, INFINITE);
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return (int)code;
}
