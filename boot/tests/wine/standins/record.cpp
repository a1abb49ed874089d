#include "record.h"

#include <windows.h>

std::wstring Json(const std::wstring &text) {
  std::wstring out = L"\"";
  for (wchar_t c : text) {
    wchar_t escaped[8] = {c};
    if (c < 0x20) swprintf(escaped, 8, L"\\u%04x", (unsigned)c);
    out += (c == L'"' || c == L'\\' ? L"\\" : L"") + std::wstring(escaped);
  }
  return out + L"\"";
}

std::wstring Object(Fields fields) {
  std::wstring out;
  for (const auto &[key, value] : fields) out += (out.empty() ? L"{" : L",") + Json(key) + L":" + value;
  return out + L"}";
}

std::string Utf8(const std::wstring &text) {
  std::string out(WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), NULL, 0, NULL, NULL), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), &out[0], (int)out.size(), NULL, NULL);
  return out;
}

void RecordWrite(const wchar_t *fileName, Fields fields) {
  const std::wstring dir = ReadEnv(L"STANDIN_LOG");
  if (dir.empty()) return;
  const std::string line = Utf8(Object(fields) + L"\n");
  /* One appending write per line, so a reader never sees half a record. */
  HANDLE f = CreateFileW((dir + L"\\" + fileName).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (f == INVALID_HANDLE_VALUE) return;
  DWORD written;
  WriteFile(f, line.data(), (DWORD)line.size(), &written, NULL);
  CloseHandle(f);
}

std::wstring ReadEnv(const wchar_t *name) {
  static wchar_t value[32768];
  DWORD n = GetEnvironmentVariableW(name, value, 32768);
  return n && n < 32768 ? value : L"";
}
