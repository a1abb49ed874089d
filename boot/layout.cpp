#include "layout.h"

#include "format_text.h"

const wchar_t kFallbackBase[] = L"C:";

namespace {

// Forms every path under `base`; false as soon as one does not fit.
bool FormUnder(Layout* l, const wchar_t* base) {
  return FormatText(l->install_root, kPathCapacity, L"%s\\Quorlin", base) >= 0 &&
         FormatText(l->runtime_dir, kPathCapacity, L"%s\\runtime", l->install_root) >= 0 &&
         FormatText(l->runtime_exe, kPathCapacity, L"%s\\Quorlin.exe", l->runtime_dir) >= 0 &&
         FormatText(l->version_file, kPathCapacity, L"%s\\quorlin.version", l->runtime_dir) >= 0 &&
         FormatText(l->app_dir, kPathCapacity, L"%s\\resources\\app", l->runtime_dir) >= 0 &&
         FormatText(l->app_main_js, kPathCapacity, L"%s\\main.js", l->app_dir) >= 0 &&
         FormatText(l->stage_dir, kPathCapacity, L"%s\\resources\\app.new", l->runtime_dir) >= 0 &&
         FormatText(l->stage_probe, kPathCapacity, L"%s\\main.js", l->stage_dir) >= 0 &&
         FormatText(l->kept_app_dir, kPathCapacity, L"%s\\resources\\app.old", l->runtime_dir) >= 0 &&
         FormatText(l->kept_app_main_js, kPathCapacity, L"%s\\main.js", l->kept_app_dir) >= 0 &&
         FormatText(l->start_count, kPathCapacity, L"%s\\resources\\app.starts", l->runtime_dir) >= 0 &&
         FormatText(l->rolled_back, kPathCapacity, L"%s\\resources\\app.rolledback", l->runtime_dir) >= 0 &&
         FormatText(l->download_file, kPathCapacity, L"%s\\runtime.zip", l->install_root) >= 0 &&
         FormatText(l->download_part, kPathCapacity, L"%s\\runtime.zip.part", l->install_root) >= 0 &&
         FormatText(l->app_archive, kPathCapacity, L"%s\\app.zip", l->install_root) >= 0 &&
         FormatText(l->electron_exe, kPathCapacity, L"%s\\electron.exe", l->runtime_dir) >= 0 &&
         FormatText(l->default_app_asar, kPathCapacity, L"%s\\resources\\default_app.asar",
                    l->runtime_dir) >= 0;
}

}  // namespace

const wchar_t* FormLayout(Layout* layout, const wchar_t* local_app_data, size_t app_entry_length) {
  if (local_app_data != nullptr && local_app_data[0] != L'\0' && FormUnder(layout, local_app_data) &&
      TextLength(layout->stage_dir) + 1 + app_entry_length < kPathCapacity) {
    return local_app_data;
  }
  // The fallback base is short enough for every path of the layout.
  (void)FormUnder(layout, kFallbackBase);
  return kFallbackBase;
}
