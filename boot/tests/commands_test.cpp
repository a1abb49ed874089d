#include "commands.h"

#include <gtest/gtest.h>

#include <string>

TEST(Commands, FormsTheThreeCommandLines) {
  wchar_t buffer[kRunnerCapacity];
  FormRemoveTreeCommand(buffer, kCommandCapacity, L"C:\\Q\\runtime\\resources\\app.new");
  EXPECT_EQ(std::wstring(buffer), L"cmd.exe /c rmdir /s /q \"C:\\Q\\runtime\\resources\\app.new\"");
  FormTarCommand(buffer, kRunnerCapacity, L"C:\\Windows\\system32", L"C:\\Q\\app.zip", L"C:\\Q\\runtime\\resources\\app");
  EXPECT_EQ(std::wstring(buffer),
            L"\"C:\\Windows\\system32\\tar.exe\" -xf \"C:\\Q\\app.zip\" -C \"C:\\Q\\runtime\\resources\\app\"");
  FormExpandArchiveCommand(buffer, kRunnerCapacity, L"C:\\Q\\runtime.zip", L"C:\\Q\\runtime");
  EXPECT_EQ(std::wstring(buffer),
            L"powershell.exe -NoProfile -ExecutionPolicy Bypass -Command \"Expand-Archive -LiteralPath "
            L"'C:\\Q\\runtime.zip' -DestinationPath 'C:\\Q\\runtime' -Force\"");
}

TEST(Commands, SingleQuotesInPathsAreDoubledForPowerShell) {
  wchar_t buffer[kRunnerCapacity];
  FormExpandArchiveCommand(buffer, kRunnerCapacity, L"C:\\Users\\O'Neil\\app.zip", L"C:\\Users\\O'Neil\\a''b");
  EXPECT_EQ(std::wstring(buffer),
            L"powershell.exe -NoProfile -ExecutionPolicy Bypass -Command \"Expand-Archive -LiteralPath "
            L"'C:\\Users\\O''Neil\\app.zip' -DestinationPath 'C:\\Users\\O''Neil\\a''''b' -Force\"");
}

TEST(Commands, RunnerNeverRunsACutCommandLine) {
  wchar_t buffer[kRunnerCapacity];
  const std::wstring longest(2046, L'a');
  EXPECT_TRUE(PrepareCommandLine(buffer, longest.c_str()));
  EXPECT_EQ(std::wstring(buffer), longest);
  EXPECT_FALSE(PrepareCommandLine(buffer, (longest + L"b").c_str()));
  EXPECT_EQ(std::wstring(buffer), L"");
  EXPECT_FALSE(PrepareCommandLine(buffer, L""));
}
