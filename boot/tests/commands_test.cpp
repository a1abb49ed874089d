#include "commands.h"

#include <gtest/gtest.h>

#include <string>

TEST(Commands, NamesEveryToolByItsSystemPath) {
  wchar_t buffer[kRunnerCapacity];
  FormRemoveTreeCommand(buffer, kCommandCapacity, L"C:\\Windows\\system32");
  EXPECT_EQ(std::wstring(buffer), L"\"C:\\Windows\\system32\\cmd.exe\" /d /v:off /c rmdir /s /q \"%QUORLIN_REMOVE_DIR%\"");
  FormTarCommand(buffer, kRunnerCapacity, L"C:\\Windows\\system32", L"C:\\Q\\app.zip", L"C:\\Q\\runtime\\resources\\app");
  EXPECT_EQ(std::wstring(buffer),
            L"\"C:\\Windows\\system32\\tar.exe\" -xf \"C:\\Q\\app.zip\" -C \"C:\\Q\\runtime\\resources\\app\"");
}

TEST(Commands, EveryKindOfSingleQuoteIsDoubledForPowerShell) {
  // [path, as it stands between PowerShell's single quotes]
  const std::pair<std::wstring, std::wstring> rows[] = {
      {L"C:\\Users\\O'Neil", L"C:\\Users\\O''Neil"},
      {L"C:\\a''b", L"C:\\a''''b"},
      {L"C:\\Users\\O\u2019Neil", L"C:\\Users\\O\u2019\u2019Neil"},
      {L"C:\\\u2018\u201A\u201B", L"C:\\\u2018\u2018\u201A\u201A\u201B\u201B"},
      {L"C:\\\u201C\u201D", L"C:\\\u201C\u201D"},  // typographic double quotes end nothing
  };
  const std::wstring head = L"\"S\\WindowsPowerShell\\v1.0\\powershell.exe\" -NoProfile -ExecutionPolicy Bypass "
                            L"-Command \"Expand-Archive -LiteralPath '";
  for (const auto& [path, quoted] : rows) {
    wchar_t buffer[kRunnerCapacity];
    FormExpandArchiveCommand(buffer, kRunnerCapacity, L"S", path.c_str(), L"D");
    EXPECT_EQ(std::wstring(buffer), head + quoted + L"' -DestinationPath 'D' -Force\"");
  }
}
