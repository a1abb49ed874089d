#include "payload.h"

#include <windows.h>
#include <shellapi.h>

#include "stamp.h"

extern "C" const unsigned char quorlin_payload[];
extern "C" const unsigned char quorlin_payload_end[];

const unsigned char* CarriedArchive() { return quorlin_payload; }

size_t CarriedArchiveSize() { return static_cast<size_t>(quorlin_payload_end - quorlin_payload); }

void WriteCarriedArchive(const wchar_t* path) {
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  (void)WriteFile(file, CarriedArchive(), static_cast<DWORD>(CarriedArchiveSize()), &written, nullptr);
  CloseHandle(file);
}

bool ReadVersionStamp(const wchar_t* path, char* text) {
  text[0] = '\0';
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  char bytes[kStampCapacity] = {};
  DWORD read = 0;
  // A failed read leaves no bytes: an empty text, which matches nothing.
  (void)ReadFile(file, bytes, kStampCapacity - 1, &read, nullptr);
  CloseHandle(file);
  StampText(bytes, read, text);
  return true;
}

void WriteVersionStamp(const wchar_t* path) {
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  (void)WriteFile(file, kVersionStamp, static_cast<DWORD>(kStampLength), &written, nullptr);
  CloseHandle(file);
}

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
