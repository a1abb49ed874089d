// The Windows layer under a real (or Wine's) Windows: hidden runner, removal, version file,
// file digest.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "commands.h"
#include "download.h"
#include "file_digest.h"
#include "payload.h"
#include "run_hidden.h"
#include "stamp.h"

namespace {

class Win32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    dir_ = std::wstring(temp) + L"quorlin-boot-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(dir_.c_str(), nullptr);
  }
  void TearDown() override { RemoveTree(dir_.c_str()); }

  std::wstring Path(const wchar_t* name) const { return dir_ + L"\\" + name; }

  void WriteBytes(const wchar_t* name, const std::string& bytes) const {
    std::ofstream(std::filesystem::path(Path(name)), std::ios::binary) << bytes;
  }

  std::string ReadBytes(const wchar_t* name) const {
    std::ifstream in(std::filesystem::path(Path(name)), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  std::wstring dir_;
};

}  // namespace

TEST_F(Win32Test, RunHiddenReturnsTheChildsExitCode) {
  EXPECT_EQ(RunHidden(L"cmd.exe /c exit 3"), 3);
  EXPECT_EQ(RunHidden(L"cmd.exe /c exit -1"), -1) << "0xFFFFFFFF reads as -1";
  EXPECT_EQ(RunHidden(L"quorlin-no-such-program.exe"), -1);
}

TEST_F(Win32Test, RunHiddenNeverRunsACutCommandLine) {
  std::wstring command = L"cmd.exe /c echo x> \"" + Path(L"ran.txt") + L"\"";
  command += std::wstring(kRunnerCapacity - 1 - command.size(), L' ');  // one over the limit
  EXPECT_EQ(RunHidden(command.c_str()), -1);
  EXPECT_EQ(GetFileAttributesW(Path(L"ran.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  command.pop_back();
  EXPECT_EQ(RunHidden(command.c_str()), 0);
  EXPECT_NE(GetFileAttributesW(Path(L"ran.txt").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Win32Test, RemoveTreeTakesTheDirectoryThroughTheVariable) {
  // cmd reads these characters as syntax when they stand in its command line. Wine's cmd,
  // unlike Windows', expands a variable's value once more, so a name such as a%USERNAME%b
  // cannot be tried here.
  for (const wchar_t* name : {L"100% !x! ^&", L"O\u2019Neil %UNSET%"}) {
    CreateDirectoryW(Path(name).c_str(), nullptr);
    WriteBytes((std::wstring(name) + L"\\main.js").c_str(), "x");
    RemoveTree(Path(name).c_str());
    EXPECT_EQ(GetFileAttributesW(Path(name).c_str()), INVALID_FILE_ATTRIBUTES) << Path(name);
  }
  EXPECT_EQ(GetEnvironmentVariableW(kRemoveDirVariable, nullptr, 0), 0u) << "set for the removal only";
}

TEST_F(Win32Test, VersionFileHoldsExactlyTheStampAndIsReadUpTo127Bytes) {
  WriteBytes(L"quorlin.version", "1.0.25|45.2.1 and more text\r\n");
  WriteVersionStamp(Path(L"quorlin.version").c_str());
  EXPECT_EQ(ReadBytes(L"quorlin.version"), "1.0.26|45.2.1");
  char text[kStampCapacity];
  EXPECT_TRUE(ReadVersionStamp(Path(L"quorlin.version").c_str(), text));
  EXPECT_STREQ(text, "1.0.26|45.2.1");
  WriteBytes(L"long.version", std::string(200, 'x'));
  EXPECT_TRUE(ReadVersionStamp(Path(L"long.version").c_str(), text));
  EXPECT_EQ(std::string(text), std::string(127, 'x'));
  EXPECT_FALSE(ReadVersionStamp(Path(L"missing.version").c_str(), text));
  EXPECT_STREQ(text, "");
  CreateDirectoryW(Path(L"dir.version").c_str(), nullptr);
  EXPECT_FALSE(ReadVersionStamp(Path(L"dir.version").c_str(), text));
}

TEST_F(Win32Test, FileSha256HashesTheWholeFileInChunks) {
  WriteBytes(L"million", std::string(1000000, 'a'));  // many reads of 64 KiB
  unsigned char digest[kSha256Size];
  EXPECT_TRUE(FileSha256(Path(L"million").c_str(), digest));
  EXPECT_TRUE(DigestMatches("cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0", digest));
  EXPECT_FALSE(FileSha256(Path(L"missing").c_str(), digest));
}
