// The install layout shared by start-up and the install worker, and what is installed under
// it now.
#pragma once

#include "layout.h"
#include "stamp.h"

// Formed once by start-up before the install worker exists; read-only afterwards.
extern Layout g_layout;

struct FileState {
  bool found;
  bool is_directory;
};

// Whether `path` exists, and whether as a directory.
FileState ProbeFile(const wchar_t* path);

// What is installed under g_layout now; `stamp` (kStampCapacity bytes) receives the version
// file's text, which the result points at.
InstalledCopy ReadInstalledCopy(char* stamp);
