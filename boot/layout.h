// The install layout: every path the bootstrapper works with, formed once at start-up before
// the install worker exists and only read afterwards. Portable.
#pragma once

#include <cstddef>

constexpr size_t kPathCapacity = 260;  // characters, terminating zero included

struct Layout {
  wchar_t install_root[kPathCapacity];      // <base>\Quorlin
  wchar_t runtime_dir[kPathCapacity];       // InstallRoot\runtime
  wchar_t runtime_exe[kPathCapacity];       // RuntimeDir\Quorlin.exe
  wchar_t version_file[kPathCapacity];      // RuntimeDir\quorlin.version
  wchar_t app_dir[kPathCapacity];           // RuntimeDir\resources\app
  wchar_t app_main_js[kPathCapacity];       // application directory\main.js
  wchar_t stage_dir[kPathCapacity];         // RuntimeDir\resources\app.new
  wchar_t stage_probe[kPathCapacity];       // stage directory\main.js
  wchar_t kept_app_dir[kPathCapacity];      // RuntimeDir\resources\app.old
  wchar_t kept_app_main_js[kPathCapacity];  // kept application directory\main.js
  wchar_t start_count[kPathCapacity];       // RuntimeDir\resources\app.starts
  wchar_t rolled_back[kPathCapacity];       // RuntimeDir\resources\app.rolledback
  wchar_t download_file[kPathCapacity];     // InstallRoot\runtime.zip
  wchar_t download_part[kPathCapacity];     // InstallRoot\runtime.zip.part, while downloading
  wchar_t app_archive[kPathCapacity];       // InstallRoot\app.zip
  wchar_t electron_exe[kPathCapacity];      // RuntimeDir\electron.exe
  wchar_t default_app_asar[kPathCapacity];  // RuntimeDir\resources\default_app.asar
};

// Root used when the local application data directory is not known or too long to hold the
// whole layout: the install root is then C:\Quorlin.
extern const wchar_t kFallbackBase[];

// Forms the layout under `local_app_data` (null when the variable is unset, empty or longer
// than a path buffer). `app_entry_length` is the longest path inside the application (its
// archive's longest entry name): the application's files, also those of a staged copy, must
// fit a path buffer too, or the unpack would fail at every start. When any of that would not
// fit under the directory, the whole layout is formed under the fallback base instead, so no
// path is ever cut or half-formed. Returns the base that was used.
const wchar_t* FormLayout(Layout* layout, const wchar_t* local_app_data, size_t app_entry_length);
