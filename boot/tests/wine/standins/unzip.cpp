#include "unzip.h"

#include <windows.h>

/* Wine's own exports: the Unix name of a Windows path (UTF-8 under LANG=C.UTF-8, freed with
 * HeapFree), and running a Unix program, which with `wait` set returns its exit code. */
using UnixFileName = char *(CDECL *)(const wchar_t *);
using UnixSpawn = LONG(CDECL *)(char *const *argv, int wait);

template <typename Function>
static Function WineExport(const wchar_t *dll, const char *name) {
  return reinterpret_cast<Function>(reinterpret_cast<void *>(GetProcAddress(GetModuleHandleW(dll), name)));
}

int UnzipFile(const wchar_t *zipPath, const wchar_t *destDir) {
  const auto unixName = WineExport<UnixFileName>(L"kernel32.dll", "wine_get_unix_file_name");
  const auto spawn = WineExport<UnixSpawn>(L"ntdll.dll", "__wine_unix_spawnvp");
  char *zip = unixName ? unixName(zipPath) : NULL;
  char *dir = unixName ? unixName(destDir) : NULL;
  int code = 1;
  if (spawn && zip && dir) {
    char *argv[] = {(char *)"unzip", (char *)"-qq", (char *)"-o", zip, (char *)"-d", dir, NULL};
    code = spawn(argv, 1) == 0 ? 0 : 1;
  }
  HeapFree(GetProcessHeap(), 0, zip);
  HeapFree(GetProcessHeap(), 0, dir);
  return code;
}
