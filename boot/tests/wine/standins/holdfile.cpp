/* Holds a file open the way a running program holds its own files: others may read it but
 * neither delete nor replace it, so a folder holding it cannot be removed.
 *   holdfile <file> <release-file> <timeout-ms>
 * Prints "ready" once the file is open, then keeps it until the release file exists or the
 * time-out passes. Exits 0, or 1 when the file cannot be opened. */
#include <windows.h>
#include <stdio.h>

int wmain(int argc, wchar_t **argv) {
  if (argc != 4) {
    fputs("usage: holdfile <file> <release-file> <timeout-ms>\n", stderr);
    return 2;
  }
  HANDLE held = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, NULL);
  if (held == INVALID_HANDLE_VALUE) {
    fprintf(stderr, "holdfile: cannot open (error %lu)\n", GetLastError());
    return 1;
  }
  fputs("ready\n", stdout);
  fflush(stdout);
  DWORD until = GetTickCount() + (DWORD)_wtoi(argv[3]);
  while (GetFileAttributesW(argv[2]) == INVALID_FILE_ATTRIBUTES && (LONG)(until - GetTickCount()) > 0)
    Sleep(50);
  CloseHandle(held);
  return 0;
}
