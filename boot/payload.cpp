#include "payload.h"

#include <windows.h>
#include <shellapi.h>

#include "stamp.h"
#include "whole_file.h"

extern "C" const unsigned char quorlin_payload[];
extern "C" const unsigned char quorlin_payload_end[];

const unsigned char* CarriedArchive() { return quorlin_payload; }

size_t CarriedArchiveSize() { return static_cast<size_t>(quorlin_payload_end - quorlin_payload); }

void WriteCarriedArchive(const wchar_t* path) {
  (void)WriteWholeFile(path, CarriedArchive(), CarriedArchiveSize());
}

bool ReadVersionStamp(const wchar_t* path, char* text) {
  char bytes[kStampCapacity];
  size_t count = 0;
  // A failed read leaves no bytes: an empty text, which matches nothing.
  const bool opened = ReadFileStart(path, bytes, kStampCapacity - 1, &count);
  StampText(bytes, count, text);
  return opened;
}

void WriteVersionStamp(const wchar_t* path) { (void)WriteWholeFile(path, kVersionStamp, kStampLength); }

bool StartApp(const Layout& layout) {
  (void)SetEnvironmentVariableW(L"QUORLIN_EXE", layout.runtime_exe);
  wchar_t self[kPathCapacity];
  DWORD length = GetModuleFileNameW(nullptr, self, kPathCapacity);
  // A path cut at the buffer's end would name another file: an inherited value is kept then.
  if (length != 0 && length < kPathCapacity) (void)SetEnvironmentVariableW(L"QUORLIN_BOOT", self);
  HINSTANCE result = ShellExecuteW(nullptr, L"open", layout.runtime_exe, nullptr, layout.runtime_dir,
                                   SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(result) > 32;
}
