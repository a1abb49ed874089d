#include "commands.h"

#include "format_text.h"
#include "layout.h"

namespace {

// PowerShell ends a single-quoted string at any of these, unless it is doubled.
bool IsPowerShellQuote(wchar_t c) { return c == L'\'' || (c >= 0x2018 && c <= 0x201B); }

// Doubles every single quote of `path` for a single-quoted PowerShell string. False when the
// result does not fit `capacity`.
bool QuoteForPowerShell(wchar_t* buffer, size_t capacity, const wchar_t* path) {
  size_t used = 0;
  for (const wchar_t* p = path; *p != L'\0'; ++p) {
    size_t need = IsPowerShellQuote(*p) ? 2 : 1;
    if (used + need >= capacity) {
      buffer[0] = L'\0';
      return false;
    }
    for (size_t i = 0; i < need; ++i) buffer[used++] = *p;
  }
  buffer[used] = L'\0';
  return true;
}

}  // namespace

int FormRemoveTreeCommand(wchar_t* buffer, size_t capacity, const wchar_t* system_dir) {
  // %% puts one % into the text: the variable's name, for cmd to expand.
  return FormatText(buffer, capacity, L"\"%s\\cmd.exe\" /d /v:off /c rmdir /s /q \"%%%s%%\"", system_dir,
                    kRemoveDirVariable);
}

int FormTarCommand(wchar_t* buffer, size_t capacity, const wchar_t* system_dir,
                   const wchar_t* archive, const wchar_t* dest) {
  return FormatText(buffer, capacity, L"\"%s\\tar.exe\" -xf \"%s\" -C \"%s\"", system_dir, archive,
                    dest);
}

int FormExpandArchiveCommand(wchar_t* buffer, size_t capacity, const wchar_t* system_dir,
                             const wchar_t* archive, const wchar_t* dest) {
  // Every quote doubled, a path grows to at most twice its length.
  wchar_t quoted_archive[2 * kPathCapacity];
  wchar_t quoted_dest[2 * kPathCapacity];
  if (!QuoteForPowerShell(quoted_archive, 2 * kPathCapacity, archive) ||
      !QuoteForPowerShell(quoted_dest, 2 * kPathCapacity, dest)) {
    if (buffer != nullptr && capacity > 0) buffer[0] = L'\0';
    return -1;
  }
  return FormatText(buffer, capacity,
                    L"\"%s\\WindowsPowerShell\\v1.0\\powershell.exe\" -NoProfile -ExecutionPolicy Bypass "
                    L"-Command \"Expand-Archive -LiteralPath '%s' -DestinationPath '%s' -Force\"",
                    system_dir, quoted_archive, quoted_dest);
}

bool PrepareCommandLine(wchar_t* buffer, const wchar_t* command_line) {
  // At most kRunnerCapacity - 2 characters are kept, as the runner always has.
  if (command_line[0] == L'\0' || !CopyText(buffer, kRunnerCapacity - 1, command_line)) {
    buffer[0] = L'\0';
    return false;
  }
  return true;
}
