#include "install_worker.h"

#include <objbase.h>

#include "installed_copy.h"
#include "payload.h"
#include "progress.h"
#include "progress_window.h"
#include "run_hidden.h"
#include "runtime_download.h"
#include "texts.h"

namespace {

void Fail(const wchar_t* error) {
  StoreErrorText(&g_boot_progress, error);
  FinishProgress();
}

// Downloads and unpacks the runtime; false (with the error stored) when that failed.
bool InstallRuntime() {
  SetStatus(kStatusDownloading, 0);
  if (const wchar_t* error = DownloadRuntime()) {
    Fail(error);
    return false;
  }
  SetStatus(kStatusUnpacking, 820);
  // The whole runtime goes, with the application, the stamp and any stage in it.
  RemoveTree(g_layout.runtime_dir);
  if (!ExtractArchive(g_layout.download_file, g_layout.runtime_dir)) {
    Fail(kErrorRuntimeUnpack);
    return false;
  }
  (void)DeleteFileW(g_layout.download_file);
  // A runtime without electron.exe shows later as a failed start.
  (void)MoveFileExW(g_layout.electron_exe, g_layout.runtime_exe, MOVEFILE_REPLACE_EXISTING);
  // Without its default application the runtime runs the one in resources\app.
  (void)DeleteFileW(g_layout.default_app_asar);
  return true;
}

}  // namespace

DWORD WINAPI InstallWorker(LPVOID /*unused*/) {
  // The shell start at the end needs COM on this thread.
  (void)CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

  char stamp[kStampCapacity];
  if (!RuntimeIsCurrent(ReadInstalledCopy(stamp)) && !InstallRuntime()) return 0;

  SetStatus(kStatusPreparing, 900);
  WriteCarriedArchive(g_layout.app_archive);
  RemoveTree(g_layout.app_dir);
  // The carried application replaces any update, so an application kept from one is stale.
  if (ProbeFile(g_layout.kept_app_dir).found) RemoveTree(g_layout.kept_app_dir);
  (void)DeleteFileW(g_layout.start_count);
  if (!ExtractArchive(g_layout.app_archive, g_layout.app_dir)) {
    Fail(kErrorAppUnpack);
    return 0;
  }
  (void)DeleteFileW(g_layout.app_archive);
  WriteVersionStamp(g_layout.version_file);
  SetStatus(kStatusStarting, 1000);
  if (!StartApp(g_layout)) StoreErrorText(&g_boot_progress, kErrorStart);
  FinishProgress();
  return 0;
}
