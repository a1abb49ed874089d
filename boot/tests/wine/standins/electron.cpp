/* Stand-in for the runtime's electron.exe (installed under the product's name). Started, it
 * records where and how it was started in electron.log: working directory, command line and
 * argument count, QUORLIN_EXE, QUORLIN_BOOT, its own path, whether the application it would
 * load (resources\app\main.js beside it) is there and its first line, and what an update left
 * beside it: the start count (resources\app.starts) and whether a kept application
 * (resources\app.old\main.js) is there. With STANDIN_ELECTRON=shown it first does what the
 * launcher does once its window has shown: deletes app.old and app.starts. Then it exits. */
#include <windows.h>
#include <shellapi.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "record.h"

namespace {

bool IsFile(const std::wstring &path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

/* The file's first line as JSON, or null when it cannot be read. */
std::wstring FirstLine(const std::wstring &path) {
  std::ifstream in{std::filesystem::path(path)};
  std::string line;
  if (!in || !std::getline(in, line)) return L"null";
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return Json(std::wstring(line.begin(), line.end()));
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  wchar_t cwd[MAX_PATH], self[MAX_PATH];
  int argc = 0;
  LocalFree(CommandLineToArgvW(GetCommandLineW(), &argc));
  GetCurrentDirectoryW(MAX_PATH, cwd);
  GetModuleFileNameW(NULL, self, MAX_PATH);
  std::wstring resources(self);
  resources = resources.substr(0, resources.rfind(L'\\') + 1) + L"resources\\";
  const std::wstring app = resources + L"app\\main.js";
  const std::wstring starts = FirstLine(resources + L"app.starts");
  const bool kept = IsFile(resources + L"app.old\\main.js");
  if (ReadEnv(L"STANDIN_ELECTRON") == L"shown") {
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(resources + L"app.old"), ignored);
    std::filesystem::remove(std::filesystem::path(resources + L"app.starts"), ignored);
  }
  RecordWrite(L"electron.log", {{L"cwd", Json(cwd)}, {L"commandLine", Json(GetCommandLineW())},
                                {L"argc", std::to_wstring(argc)}, {L"self", Json(self)},
                                {L"QUORLIN_EXE", Json(ReadEnv(L"QUORLIN_EXE"))},
                                {L"QUORLIN_BOOT", Json(ReadEnv(L"QUORLIN_BOOT"))},
                                {L"appPresent", IsFile(app) ? L"true" : L"false"}, {L"appFirstLine", FirstLine(app)},
                                {L"appStarts", starts}, {L"keptApp", kept ? L"true" : L"false"}});
  return 0;
}
