// Start-up: install layout, staged-update promotion, fast launch or the install path.
#pragma once

#include <windows.h>

#include "layout.h"
#include "stamp.h"

// Formed once by start-up before the install worker exists; read-only afterwards.
extern Layout g_layout;

// True when `path` exists and is not a directory.
bool IsFile(const wchar_t* path);

// What is installed under g_layout now; `stamp` (kStampCapacity bytes) receives the version
// file's text, which the result points at.
InstalledCopy ReadInstalledCopy(char* stamp);

// Runs the whole bootstrapper; returns when the process should end (always with code 0).
void RunBootstrapper(HINSTANCE instance);
