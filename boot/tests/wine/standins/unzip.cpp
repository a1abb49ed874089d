#include "unzip.h"

#include <windows.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "zip_reader.h"

namespace {

std::wstring Widen(const std::string& utf8) {
  std::wstring wide(utf8.size(), L'\0');
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0],
                              static_cast<int>(wide.size()));
  wide.resize(n > 0 ? n : 0);
  return wide;
}

// The whole file, read through its wide name (the system's paths may hold any letter).
std::vector<unsigned char> ReadWhole(const wchar_t* path, bool* ok) {
  std::vector<unsigned char> data;
  *ok = false;
  HANDLE f = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return data;
  LARGE_INTEGER size;
  DWORD got = 0;
  if (GetFileSizeEx(f, &size) && size.QuadPart < 0x7fffffff) {
    data.resize(static_cast<size_t>(size.QuadPart));
    *ok = ReadFile(f, data.data(), static_cast<DWORD>(data.size()), &got, nullptr) && got == data.size();
  }
  CloseHandle(f);
  return data;
}

// A relative path with no "..", drive or root part.
bool IsSafeName(const std::wstring& name) {
  if (name.empty() || name[0] == L'\\' || name.find(L':') != std::wstring::npos) return false;
  size_t start = 0;
  for (;;) {
    size_t end = name.find(L'\\', start);
    if (name.compare(start, end == std::wstring::npos ? std::wstring::npos : end - start, L"..") == 0) return false;
    if (end == std::wstring::npos) return true;
    start = end + 1;
  }
}

// Creates every folder of `relative` below `root`; the last part too when `whole`.
void MakeFolders(const std::wstring& root, const std::wstring& relative, bool whole) {
  for (size_t at = relative.find(L'\\'); at != std::wstring::npos; at = relative.find(L'\\', at + 1)) {
    CreateDirectoryW((root + L"\\" + relative.substr(0, at)).c_str(), nullptr);
  }
  if (whole) CreateDirectoryW((root + L"\\" + relative).c_str(), nullptr);
}

bool WriteWhole(const std::wstring& path, const std::vector<unsigned char>& data) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(f, data.data(), static_cast<DWORD>(data.size()), &written, nullptr) && written == data.size();
  CloseHandle(f);
  return ok;
}

}  // namespace

int UnzipFile(const wchar_t* zipPath, const wchar_t* destDir) {
  bool read = false;
  const std::vector<unsigned char> archive = ReadWhole(zipPath, &read);
  if (!read) return 1;
  ZipListing zip;
  try {
    zip = ReadZip(archive);
  } catch (const std::out_of_range&) {
    return 1;  // a truncated or damaged directory
  }
  if (!zip.ok) return 1;
  const std::wstring root(destDir);
  for (const ZipRecord& entry : zip.records) {
    std::wstring name = Widen(entry.name);
    for (wchar_t& c : name) {
      if (c == L'/') c = L'\\';
    }
    const bool isFolder = !name.empty() && name.back() == L'\\';
    if (isFolder) name.pop_back();
    if (!IsSafeName(name)) return 1;
    MakeFolders(root, name, isFolder);
    if (!isFolder && !WriteWhole(root + L"\\" + name, entry.data)) return 1;
  }
  return 0;
}
