#include "whole_file.h"

#include <windows.h>

bool ReadFileStart(const wchar_t* path, char* bytes, size_t capacity, size_t* count) {
  *count = 0;
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD read = 0;
  if (ReadFile(file, bytes, static_cast<DWORD>(capacity), &read, nullptr)) *count = read;
  CloseHandle(file);
  return true;
}

bool WriteWholeFile(const wchar_t* path, const void* bytes, size_t count) {
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool whole = WriteFile(file, bytes, static_cast<DWORD>(count), &written, nullptr) && written == count;
  CloseHandle(file);
  return whole;
}
