// Command lines for the hidden runner: tree removal and the two archive unpackers. Portable.
#pragma once

#include <cstddef>

constexpr size_t kCommandCapacity = 1024;  // removal command lines, characters with terminator
constexpr size_t kRunnerCapacity = 2048;   // the runner's own writable copy and unpack commands

// Every tool is named by its full path under the system directory `system_dir`: by a bare name
// Windows would first look in the bootstrapper's own folder, usually Downloads.

// The variable through which the removal command receives its directory.
constexpr wchar_t kRemoveDirVariable[] = L"QUORLIN_REMOVE_DIR";

// ""<system dir>\cmd.exe" /d /v:off /c rmdir /s /q "%QUORLIN_REMOVE_DIR%"". cmd expands its
// command line once, so nothing in the directory's name (a % in a user name) is expanded; /d
// skips the user's AutoRun commands. Returns FormatText's result: -1 and an empty buffer when
// it does not fit.
int FormRemoveTreeCommand(wchar_t* buffer, size_t capacity, const wchar_t* system_dir);

// ""<system dir>\tar.exe" -xf "<archive>" -C "<dest>"".
int FormTarCommand(wchar_t* buffer, size_t capacity, const wchar_t* system_dir,
                   const wchar_t* archive, const wchar_t* dest);

// The PowerShell fallback, "<system dir>\WindowsPowerShell\v1.0\powershell.exe". The two paths
// stand in single-quoted PowerShell strings, inside which every quote PowerShell knows as a
// single quote (' and the typographic ‘ ’ ‚ ‛) is written twice, so a path such as
// C:\Users\O’Neil still unpacks.
int FormExpandArchiveCommand(wchar_t* buffer, size_t capacity, const wchar_t* system_dir,
                             const wchar_t* archive, const wchar_t* dest);

// The runner's writable copy of a command line (`buffer` holds kRunnerCapacity characters).
// False, with an empty buffer, for an empty command line or one longer than 2,046 characters:
// a cut command line could name another directory than meant, so it is never run.
bool PrepareCommandLine(wchar_t* buffer, const wchar_t* command_line);
