/* Stand-in for powershell.exe, for the one command the bootstrapper gives it:
 *   -Command "Expand-Archive -LiteralPath '<zip>' -DestinationPath '<dir>' -Force"
 * It records its command line in powershell.log and unpacks the archive, creating the
 * destination, and exits 0 on success and 1 otherwise, as -Command does. A path holding a
 * single quote breaks the quoting and fails, as it does in PowerShell.
 * STANDIN_POWERSHELL=fail makes it exit 1 without touching anything. */
#include <windows.h>

#include "record.h"
#include "unzip.h"

/* Copies the text between "<marker>'" and the next "'" into out; 0 when absent. */
static int QuotedAfter(const wchar_t *line, const wchar_t *marker, wchar_t *out, size_t capacity) {
  const wchar_t *start = wcsstr(line, marker);
  if (!start) return 0;
  start += wcslen(marker);
  const wchar_t *end = wcschr(start, L'\'');
  if (!end || (size_t)(end - start) >= capacity) return 0;
  wmemcpy(out, start, end - start);
  out[end - start] = 0;
  return 1;
}

/* The closing text that must follow the destination for the command to parse. */
static int EndsCommand(const wchar_t *line, const wchar_t *dest) {
  const wchar_t *after = wcsstr(line, L"-DestinationPath '");
  after += wcslen(L"-DestinationPath '") + wcslen(dest);
  return wcscmp(after, L"' -Force\"") == 0;
}

static void CreateFolders(wchar_t *path) {
  for (wchar_t *p = path; *p; p++) {
    if (*p != L'\\' || p == path || p[-1] == L':') continue;
    *p = 0;
    CreateDirectoryW(path, NULL);
    *p = L'\\';
  }
  CreateDirectoryW(path, NULL);
}

int wmain(void) {
  const wchar_t *line = GetCommandLineW();
  Record r;
  wchar_t mode[32], zip[MAX_PATH * 4], dest[MAX_PATH * 4];
  RecordBegin(&r);
  RecordString(&r, L"commandLine", line);
  RecordWrite(&r, L"powershell.log");

  ReadEnv(L"STANDIN_POWERSHELL", mode, 32);
  if (wcscmp(mode, L"fail") == 0) return 1;
  if (!QuotedAfter(line, L"-LiteralPath '", zip, MAX_PATH * 4) ||
      !QuotedAfter(line, L"-DestinationPath '", dest, MAX_PATH * 4) || !EndsCommand(line, dest))
    return 1;
  DWORD attributes = GetFileAttributesW(zip);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return 1;
  CreateFolders(dest);
  return UnzipFile(zip, dest);
}
