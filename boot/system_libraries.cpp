#include "system_libraries.h"

void RestrictLibrarySearch() {
  using SetDirectoriesFn = BOOL(WINAPI*)(DWORD);
  // Looked up rather than imported, like the newer DPI functions: a system without it still
  // starts.
  if (auto set_directories = LibraryFunction<SetDirectoriesFn>(GetModuleHandleW(L"kernel32.dll"),
                                                                "SetDefaultDllDirectories")) {
    (void)set_directories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
}

const WinInetApi* LoadWinInet() {
  static WinInetApi api;
  static bool loaded = false;  // the worker thread alone downloads
  if (loaded) return &api;
  HMODULE wininet = LoadLibraryExW(L"wininet.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  api = {LibraryFunction<decltype(api.open)>(wininet, "InternetOpenW"),
         LibraryFunction<decltype(api.open_url)>(wininet, "InternetOpenUrlW"),
         LibraryFunction<decltype(api.query_info)>(wininet, "HttpQueryInfoW"),
         LibraryFunction<decltype(api.read_file)>(wininet, "InternetReadFile"),
         LibraryFunction<decltype(api.close_handle)>(wininet, "InternetCloseHandle")};
  loaded = api.open && api.open_url && api.query_info && api.read_file && api.close_handle;
  return loaded ? &api : nullptr;
}
