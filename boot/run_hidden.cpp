#include "run_hidden.h"

#include <windows.h>

#include "commands.h"
#include "layout.h"

int RunHidden(const wchar_t* command_line) {
  wchar_t buffer[kRunnerCapacity];
  if (!PrepareCommandLine(buffer, command_line)) return -1;

  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, buffer, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                      &startup, &process)) {
    return -1;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exit_code = 1;  // stays 1 when the code cannot be read
  (void)GetExitCodeProcess(process.hProcess, &exit_code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(exit_code);
}

namespace {

// Where the tools are run from. False when the system cannot tell: no tool is run then, as
// a path without it would be searched for.
bool ReadSystemDirectory(wchar_t* system_dir) {
  const UINT length = GetSystemDirectoryW(system_dir, kPathCapacity);
  return length != 0 && length < kPathCapacity;
}

}  // namespace

bool ExtractArchive(const wchar_t* archive, const wchar_t* dest) {
  // tar needs the destination to exist; it usually does not, and when it does that is fine.
  (void)CreateDirectoryW(dest, nullptr);
  wchar_t system_dir[kPathCapacity];
  if (!ReadSystemDirectory(system_dir)) return false;

  wchar_t command[kRunnerCapacity];
  (void)FormTarCommand(command, kRunnerCapacity, system_dir, archive, dest);
  if (RunHidden(command) == 0) return true;
  (void)FormExpandArchiveCommand(command, kRunnerCapacity, system_dir, archive, dest);
  return RunHidden(command) == 0;
}

void RemoveTree(const wchar_t* dir) {
  wchar_t system_dir[kPathCapacity];
  if (!ReadSystemDirectory(system_dir)) return;
  wchar_t command[kCommandCapacity];
  (void)FormRemoveTreeCommand(command, kCommandCapacity, system_dir);
  // The directory reaches cmd only through the variable, never inside its command line.
  if (!SetEnvironmentVariableW(kRemoveDirVariable, dir)) return;
  (void)RunHidden(command);
  // Not handed on to the launcher application.
  (void)SetEnvironmentVariableW(kRemoveDirVariable, nullptr);
}
