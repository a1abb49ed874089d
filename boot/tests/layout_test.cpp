#include "layout.h"

#include <gtest/gtest.h>

#include <string>

#include "format_text.h"

namespace {

// The longest path is RuntimeDir\resources\default_app.asar: 42 characters after the base.
const size_t kLongestTail = TextLength(L"\\Quorlin\\runtime\\resources\\default_app.asar");

// Every path of the layout, to check that none is cut.
std::wstring AllPaths(const Layout& l) {
  std::wstring all;
  for (const wchar_t* p : {l.install_root, l.runtime_dir, l.runtime_exe, l.version_file, l.app_dir, l.app_main_js,
                           l.stage_dir, l.stage_probe, l.kept_app_dir, l.kept_app_main_js, l.start_count,
                           l.rolled_back, l.download_file, l.download_part, l.app_archive, l.electron_exe,
                           l.default_app_asar}) {
    all += p;
    all += L'\n';
  }
  return all;
}

}  // namespace

TEST(FormLayout, FormsEveryPathUnderLocalAppData) {
  Layout l;
  const wchar_t* base = L"C:\\Users\\ayşe\\AppData\\Local";
  EXPECT_EQ(std::wstring(FormLayout(&l, base, 0)), base);
  EXPECT_EQ(AllPaths(l),
            L"C:\\Users\\ayşe\\AppData\\Local\\Quorlin\n"
            L"C:\\Users\\ayşe\\AppData\\Local\\Quorlin\\runtime\n"
            L"C:\\Users\\ayşe\\AppData\\Local\\Quorlin\\runtime\\Quorlin.exe\n"
            L"C:\\Users\\ayşe\\AppData\\Local\\Quorlin\\runtime\\quorlin.version\n"
            L"C:\\Users\\ayşe\\AppData\\Local\\Quorlin\\runtime\\resources\\app\n"
            L"C:\\Users\\ayşe\\AppData\\Local\\Quorlin\\runtime\\resources\\app\\main.js\n"
            L"C:\\Users\\ayşe\\AppData\\Local\\Quorlin\\runtime\\resources\\app.new\n"
            L"C:\\Users\\ayşe\\AppData\\Local\\Quorlin\\runtime\\resources\\app.new\\main.js\n"
            L"C:\\Users\\ayşe\\AppData\\Local\\Quorlin\\runtime\\resources\\app.old\n"
            L"C:\\Users\\ayşe\\AppData\\Local\\Quorlin\\runtime\\resources\\app.old\\main.js\n"
            L"C:\\Users\\ayşe\\AppData\\Local\\Quorlin\\runtime\\resources\\app.starts\n"
            L"C:\\Users\\ayşe\\AppData\\Local\\Quorlin\\runtime\\resources\\app.rolledback\n"
            L"C:\\Users\\ayşe\\AppData\\Local\\Quorlin\\runtime.zip\n"
            L"C:\\Users\\ayşe\\AppData\\Local\\Quorlin\\runtime.zip.part\n"
            L"C:\\Users\\ayşe\\AppData\\Local\\Quorlin\\app.zip\n"
            L"C:\\Users\\ayşe\\AppData\\Local\\Quorlin\\runtime\\electron.exe\n"
            L"C:\\Users\\ayşe\\AppData\\Local\\Quorlin\\runtime\\resources\\default_app.asar\n");
}

TEST(FormLayout, UnsetOrEmptyLocalAppDataGivesCQuorlin) {
  for (const wchar_t* value : {static_cast<const wchar_t*>(nullptr), L""}) {
    Layout l;
    FormLayout(&l, value, 0);
    EXPECT_EQ(std::wstring(l.install_root), L"C:\\Quorlin");
    EXPECT_EQ(std::wstring(l.runtime_exe), L"C:\\Quorlin\\runtime\\Quorlin.exe");
  }
}

TEST(FormLayout, TooLongForTheLayoutOrTheApplicationsDeepestFileFallsBackWhole) {
  const size_t just_fits = kPathCapacity - 1 - kLongestTail;
  // [base length, the application's longest entry name, whether the base is used]
  const struct { size_t length, deepest; bool fits; } rows[] = {
      {just_fits, 0, true}, {just_fits + 1, 0, false}, {kPathCapacity - 1, 0, false},
      {just_fits, 7, true},     // main.js fits
      {just_fits, 17, false}};  // a staged copy's mc/launch-args.js would not
  for (const auto& row : rows) {
    std::wstring base = L"D:\\" + std::wstring(row.length - 3, L'x');
    Layout l;
    const std::wstring used = FormLayout(&l, base.c_str(), row.deepest);
    EXPECT_EQ(used, row.fits ? base : L"C:") << "base length " << row.length << ", deepest " << row.deepest;
    EXPECT_EQ(std::wstring(l.default_app_asar), used + L"\\Quorlin\\runtime\\resources\\default_app.asar");
    EXPECT_EQ(AllPaths(l).find(L"D:\\") == std::wstring::npos, !row.fits) << "no path mixes the two bases";
  }
}
