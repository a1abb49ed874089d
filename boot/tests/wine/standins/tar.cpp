/* Stand-in for the system's tar.exe: understands "-xf <zip> -C <dir>" and really unpacks
 * the ZIP archive. Each call is recorded in tar.log. STANDIN_TAR=fail makes it exit 2
 * without touching anything, as a missing or broken tar would. */
#include <windows.h>

#include "record.h"
#include "unzip.h"

int wmain(int argc, wchar_t **argv) {
  std::wstring args;
  for (int i = 0; i < argc; i++) args += (i ? L"," : L"[") + Json(argv[i]);
  RecordWrite(L"tar.log", {{L"argv", args + L"]"}, {L"commandLine", Json(GetCommandLineW())}});

  if (ReadEnv(L"STANDIN_TAR") == L"fail") return 2;
  if (argc != 5 || wcscmp(argv[1], L"-xf") != 0 || wcscmp(argv[3], L"-C") != 0) return 2;
  /* Like bsdtar, the -C directory must already exist. */
  DWORD attributes = GetFileAttributesW(argv[4]);
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return 1;
  return UnzipFile(argv[2], argv[4]);
}
