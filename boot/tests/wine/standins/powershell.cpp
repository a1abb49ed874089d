/* Stand-in for powershell.exe, for the one command the bootstrapper gives it:
 *   -Command "Expand-Archive -LiteralPath '<zip>' -DestinationPath '<dir>' -Force"
 * It records its command line in powershell.log and unpacks the archive, creating the
 * destination, and exits 0 on success and 1 otherwise, as -Command does. It reads the two
 * paths by PowerShell's rules for single-quoted strings, so a quote that is not doubled breaks
 * the command, as it does in PowerShell.
 * STANDIN_POWERSHELL=fail makes it exit 1 without touching anything. */
#include <windows.h>

#include <filesystem>

#include "record.h"
#include "unzip.h"

/* PowerShell ends a single-quoted string at any of ' \u2018 \u2019 \u201A \u201B; two of them in a row
 * stand for one. */
static int IsQuote(wchar_t c) { return c == L'\'' || (c >= 0x2018 && c <= 0x201B); }

/* Reads the single-quoted string that starts right after `marker` at `at` into out; returns
 * what follows its closing quote, or NULL when it is not there or does not fit. */
static const wchar_t *Quoted(const wchar_t *at, const wchar_t *marker, wchar_t *out, size_t capacity) {
  size_t len = 0;
  if (wcsncmp(at, marker, wcslen(marker)) != 0) return NULL;
  for (at += wcslen(marker); *at && len + 1 < capacity; at++) {
    if (IsQuote(*at)) {
      if (!IsQuote(at[1])) {
        out[len] = 0;
        return at + 1;
      }
      at++;
    }
    out[len++] = *at;
  }
  return NULL;
}

int wmain(void) {
  const wchar_t *line = GetCommandLineW();
  wchar_t zip[MAX_PATH * 4], dest[MAX_PATH * 4];
  RecordWrite(L"powershell.log", {{L"commandLine", Json(line)}});

  if (ReadEnv(L"STANDIN_POWERSHELL") == L"fail") return 1;
  const wchar_t *rest = wcsstr(line, L" -Command \"Expand-Archive ");
  if (rest) rest = Quoted(rest, L" -Command \"Expand-Archive -LiteralPath '", zip, MAX_PATH * 4);
  if (rest) rest = Quoted(rest, L" -DestinationPath '", dest, MAX_PATH * 4);
  if (!rest || wcscmp(rest, L" -Force\"") != 0) return 1;
  DWORD attributes = GetFileAttributesW(zip);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return 1;
  std::error_code ignored;
  std::filesystem::create_directories(dest, ignored);
  return UnzipFile(zip, dest);
}
