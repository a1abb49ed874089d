#include "system_libraries.h"

namespace {

// Loads the library `name` from the system directory and fills `Api` from it through `resolve`
// once; null while the library or one of its functions cannot be had. `Api` is used by the
// worker thread alone.
template <typename Api>
const Api* LoadOnce(const wchar_t* name, bool (*resolve)(HMODULE library, Api* api)) {
  static Api api;
  static bool loaded = false;
  if (!loaded) loaded = resolve(LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32), &api);
  return loaded ? &api : nullptr;
}

bool ResolveWinInet(HMODULE wininet, WinInetApi* api) {
  *api = {LibraryFunction<decltype(api->open)>(wininet, "InternetOpenW"),
          LibraryFunction<decltype(api->open_url)>(wininet, "InternetOpenUrlW"),
          LibraryFunction<decltype(api->query_info)>(wininet, "HttpQueryInfoW"),
          LibraryFunction<decltype(api->read_file)>(wininet, "InternetReadFile"),
          LibraryFunction<decltype(api->close_handle)>(wininet, "InternetCloseHandle")};
  return api->open && api->open_url && api->query_info && api->read_file && api->close_handle;
}

bool ResolveBcrypt(HMODULE bcrypt, BcryptApi* api) {
  *api = {LibraryFunction<decltype(api->open_algorithm)>(bcrypt, "BCryptOpenAlgorithmProvider"),
          LibraryFunction<decltype(api->create_hash)>(bcrypt, "BCryptCreateHash"),
          LibraryFunction<decltype(api->hash_data)>(bcrypt, "BCryptHashData"),
          LibraryFunction<decltype(api->finish_hash)>(bcrypt, "BCryptFinishHash"),
          LibraryFunction<decltype(api->destroy_hash)>(bcrypt, "BCryptDestroyHash"),
          LibraryFunction<decltype(api->close_algorithm)>(bcrypt, "BCryptCloseAlgorithmProvider")};
  return api->open_algorithm && api->create_hash && api->hash_data && api->finish_hash && api->destroy_hash &&
         api->close_algorithm;
}

}  // namespace

void RestrictLibrarySearch() {
  using SetDirectoriesFn = BOOL(WINAPI*)(DWORD);
  // Looked up rather than imported, like the newer DPI functions: a system without it still
  // starts.
  if (auto set_directories = LibraryFunction<SetDirectoriesFn>(GetModuleHandleW(L"kernel32.dll"),
                                                                "SetDefaultDllDirectories")) {
    (void)set_directories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
}

const WinInetApi* LoadWinInet() { return LoadOnce<WinInetApi>(L"wininet.dll", ResolveWinInet); }

const BcryptApi* LoadBcrypt() { return LoadOnce<BcryptApi>(L"bcrypt.dll", ResolveBcrypt); }
