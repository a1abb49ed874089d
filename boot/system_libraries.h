// Libraries the bootstrapper loads itself, from the system directory only. The executable is
// usually started from Downloads, where anyone may have left a DLL of a system library's name;
// only always-known system libraries are imported, so nothing is loaded from that folder.
#pragma once

#include <windows.h>
#include <wininet.h>
#include <bcrypt.h>

// The function `name` of a loaded library, or null when the library or the function is missing.
template <typename Fn>
Fn LibraryFunction(HMODULE library, const char* name) {
  return library == nullptr ? nullptr : reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

// From now on, libraries loaded by name (and their dependencies) come from the system
// directory only. Called first thing, before anything else may load a library.
void RestrictLibrarySearch();

// The WinINet functions the runtime download uses.
struct WinInetApi {
  decltype(&InternetOpenW) open;
  decltype(&InternetOpenUrlW) open_url;
  decltype(&HttpQueryInfoW) query_info;
  decltype(&InternetReadFile) read_file;
  decltype(&InternetCloseHandle) close_handle;
};

// Loads WinINet from the system directory once and resolves its functions; null when the
// library or one of the functions cannot be had (the download then fails as a whole).
const WinInetApi* LoadWinInet();

// The hashing functions of Windows' cryptography library (bcrypt.dll).
struct BcryptApi {
  decltype(&BCryptOpenAlgorithmProvider) open_algorithm;
  decltype(&BCryptCreateHash) create_hash;
  decltype(&BCryptHashData) hash_data;
  decltype(&BCryptFinishHash) finish_hash;
  decltype(&BCryptDestroyHash) destroy_hash;
  decltype(&BCryptCloseAlgorithmProvider) close_algorithm;
};

// Loads bcrypt.dll from the system directory once; null when it or one of its functions cannot
// be had (a digest then cannot be checked).
const BcryptApi* LoadBcrypt();
