// Checks of the built executables, whose paths come from the environment:
// BOOT_RELEASE_EXE (dist/Quorlin.exe), BOOT_TEST_EXE (the test build), BOOT_PAYLOAD (app.zip).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>

#include "le_bytes.h"
#include "pe_reader.h"
#include "zip_reader.h"

namespace {

using Bytes = std::vector<unsigned char>;

constexpr uint32_t kRtIcon = 3;
constexpr uint32_t kRtGroupIcon = 14;
constexpr uint32_t kRtVersion = 16;

Bytes FileFromEnvironment(const char* variable) {
  const char* path = std::getenv(variable);
  return path == nullptr ? Bytes() : ReadBinaryFile(path);
}

#define LOAD_OR_SKIP(bytes, variable)                                             \
  const Bytes bytes = FileFromEnvironment(variable);                              \
  if (bytes.empty()) GTEST_SKIP() << variable << " does not name a built file";

Bytes Utf16(const std::string& ascii) {
  Bytes out;
  for (char c : ascii) out.insert(out.end(), {static_cast<unsigned char>(c), 0});
  return out;
}

bool Contains(const Bytes& haystack, const Bytes& needle) {
  return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) != haystack.end();
}

// The value of string `key` in a version resource.
std::string VersionString(const Bytes& version, const std::string& key) {
  const Bytes k = Utf16(key);
  auto it = std::search(version.begin(), version.end(), k.begin(), k.end());
  if (it == version.end()) return "<missing>";
  size_t at = (it - version.begin()) + k.size() + 2;
  at = (at + 3) & ~size_t{3};
  std::string value;
  for (; GetLE(version, at, 2) != 0; at += 2) value.push_back(static_cast<char>(version[at]));
  return value;
}

}  // namespace

TEST(ReleaseExe, IsAStatic64BitGuiProgramImportingKnownSystemDllsOnly) {
  LOAD_OR_SKIP(exe, "BOOT_RELEASE_EXE");
  const PeImage pe = ReadPe(exe);
  ASSERT_TRUE(pe.ok) << "not a 64-bit PE image";
  EXPECT_EQ(pe.machine, 0x8664);
  EXPECT_EQ(pe.subsystem, 2) << "GUI subsystem";
  // Windows loads these from the system directory whatever lies beside the executable; any
  // other import (WinINet among them) would be looked for in the executable's folder first.
  const std::set<std::string> known = {"kernel32.dll", "user32.dll", "gdi32.dll", "shell32.dll",
                                       "ole32.dll",    "msvcrt.dll", "advapi32.dll"};
  for (std::string dll : pe.dlls) {
    std::transform(dll.begin(), dll.end(), dll.begin(), ::tolower);
    EXPECT_TRUE(known.count(dll)) << dll << " is not a known system DLL";
  }
  // Missing on older Windows builds: a static import would stop the program from loading.
  for (const std::string& import : pe.imports) {
    for (const char* late : {"SetProcessDpiAwarenessContext", "GetDpiForSystem", "GetDpiForWindow",
                             "SetDefaultDllDirectories"}) {
      EXPECT_EQ(import.find(late), std::string::npos) << import;
    }
  }
}

TEST(ReleaseExe, CarriesSevenIconImagesDrawnFromTheMark) {
  LOAD_OR_SKIP(exe, "BOOT_RELEASE_EXE");
  Bytes group;
  ASSERT_TRUE(FindPeResource(exe, kRtGroupIcon, 1, &group));
  ASSERT_EQ(GetLE(group, 2, 2), 1u);
  ASSERT_EQ(GetLE(group, 4, 2), 7u);
  const unsigned sizes[] = {16, 24, 32, 48, 64, 128, 256};
  for (int i = 0; i < 7; ++i) {
    const size_t e = 6 + 14 * i;
    Bytes image;
    ASSERT_TRUE(FindPeResource(exe, kRtIcon, GetLE(group, e + 12, 2), &image)) << sizes[i];
    // Size, 32 bits per pixel, the stated length; the 256-pixel image a PNG, the others bitmaps.
    const bool png = Bytes(image.begin(), image.begin() + 4) == Bytes{0x89, 'P', 'N', 'G'};
    EXPECT_EQ((std::vector<uint32_t>{group[e] == 0 ? 256u : group[e], GetLE(group, e + 6, 2), GetLE(group, e + 8, 4),
                                     png ? 256u : GetLE(image, 4, 4), png ? 32u : GetLE(image, 14, 2)}),
              (std::vector<uint32_t>{sizes[i], 32, static_cast<uint32_t>(image.size()), sizes[i], 32}));
  }
  // The 48-pixel image: accent frame at the corner, dark inner square, white stem.
  Bytes image;
  ASSERT_TRUE(FindPeResource(exe, kRtIcon, GetLE(group, 6 + 14 * 3 + 12, 2), &image));
  auto pixel = [&](int x, int y) { return GetLE(image, 40 + ((47 - y) * 48 + x) * 4, 4); };  // BGRA, bottom-up
  EXPECT_EQ((std::vector<uint32_t>{pixel(1, 1), pixel(35, 39), pixel(18, 22)}),
            (std::vector<uint32_t>{0xFFFE2C55u, 0xFF16171Du, 0xFFFFFFFFu}));
}

TEST(ReleaseExe, NamesVersion1026AndItsOriginalFilename) {
  LOAD_OR_SKIP(exe, "BOOT_RELEASE_EXE");
  Bytes version;
  ASSERT_TRUE(FindPeResource(exe, kRtVersion, 1, &version));
  const Bytes signature = {0xBD, 0x04, 0xEF, 0xFE};
  auto fixed = std::search(version.begin(), version.end(), signature.begin(), signature.end());
  ASSERT_NE(fixed, version.end());
  const size_t at = fixed - version.begin();
  // File and product version 1.0.26.0, each as two 32-bit halves.
  EXPECT_EQ((std::vector<uint32_t>{GetLE(version, at + 8, 4), GetLE(version, at + 12, 4), GetLE(version, at + 16, 4),
                                   GetLE(version, at + 20, 4)}),
            (std::vector<uint32_t>{0x00010000, 0x001A0000, 0x00010000, 0x001A0000}));
  EXPECT_EQ(VersionString(version, "OriginalFilename") + " " + VersionString(version, "FileVersion") + " " +
                VersionString(version, "ProductVersion"),
            "Quorlin.exe 1.0.26 1.0.26");
}

TEST(ReleaseExe, CarriesTheApplicationArchiveWholeAndTheRealRuntimeAddress) {
  LOAD_OR_SKIP(exe, "BOOT_RELEASE_EXE");
  LOAD_OR_SKIP(payload, "BOOT_PAYLOAD");
  const ZipListing zip = ReadZip(payload);
  ASSERT_TRUE(zip.ok) << zip.error;
  EXPECT_TRUE(Contains(exe, payload)) << "the archive is embedded as one unchanged block";
  EXPECT_TRUE(Contains(exe, Utf16("https://github.com/electron/electron/releases/download/v45.2.1/"
                                  "electron-v45.2.1-win32-x64.zip")));
  EXPECT_FALSE(Contains(exe, Utf16("QUORLIN_TEST_RUNTIME_URL")));
  EXPECT_FALSE(Contains(exe, Bytes{'Q', 'U', 'O', 'R', 'L', 'I', 'N', '_', 'T', 'E', 'S', 'T'}));
}

TEST(TestExe, TakesTheRuntimeAddressFromTheEnvironment) {
  LOAD_OR_SKIP(exe, "BOOT_TEST_EXE");
  EXPECT_TRUE(Contains(exe, Utf16("QUORLIN_TEST_RUNTIME_URL")));
}
