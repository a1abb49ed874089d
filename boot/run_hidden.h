// Runs system tools without a window and waits for them: tree removal and ZIP unpacking.
#pragma once

// Runs `command_line` hidden (no console window), waits without limit and returns the exit
// code; -1 when the process could not be created, and also for an empty command line or one
// longer than 2,046 characters, which is never run cut. Environment and current directory are
// the bootstrapper's own.
int RunHidden(const wchar_t* command_line);

// Unpacks the ZIP `archive` into `dest` (created one level deep if missing) with the system's
// tar.exe, falling back to the system's PowerShell (Expand-Archive). True when one of them
// exited with 0.
bool ExtractArchive(const wchar_t* archive, const wchar_t* dest);

// Removes the directory tree `dir` with a hidden "rmdir /s /q" of the system's cmd.exe, which
// receives `dir` through the variable kRemoveDirVariable (set for the run only). A missing
// tree is fine and the exit code tells nothing, so nothing is returned.
void RemoveTree(const wchar_t* dir);
