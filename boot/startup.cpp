#include "startup.h"

#include "install_worker.h"
#include "installed_copy.h"
#include "payload.h"
#include "progress.h"
#include "progress_window.h"
#include "run_hidden.h"
#include "texts.h"
#include "window_and_worker.h"
#include "zip_directory.h"

namespace {

void FormLayoutFromEnvironment() {
  wchar_t local_app_data[kPathCapacity];
  DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", local_app_data, kPathCapacity);
  // 0: unset or empty; kPathCapacity or more: too long for the buffer, so not read at all.
  FormLayout(&g_layout, length != 0 && length < kPathCapacity ? local_app_data : nullptr,
             LongestEntryName(CarriedArchive(), CarriedArchiveSize()));
}

void PromoteStage() {
  const FileState probe = ProbeFile(g_layout.stage_probe);
  if (DecideStage(probe.found, probe.is_directory) == StageAction::kRemove) {
    // Runs even when no stage exists, so a stale half-stage never survives.
    RemoveTree(g_layout.stage_dir);
    return;
  }
  RemoveTree(g_layout.app_dir);
  if (!MoveFileW(g_layout.stage_dir, g_layout.app_dir)) {
    // Nothing to report: a stage left in place is promoted again at the next start.
    (void)MoveFileExW(g_layout.stage_dir, g_layout.app_dir, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED);
  }
}

bool TryFastLaunch() {
  char stamp[kStampCapacity];
  return CanFastLaunch(ReadInstalledCopy(stamp)) && StartApp(g_layout);
}

struct InstallContext {
  HINSTANCE instance;
  HANDLE worker;
};

bool CreateWindowOp(void* context) { return CreateProgressWindow(static_cast<InstallContext*>(context)->instance); }

bool StartWorkerOp(void* context) {
  auto* install = static_cast<InstallContext*>(context);
  install->worker = CreateThread(nullptr, 0, InstallWorker, nullptr, 0, nullptr);
  return install->worker != nullptr;
}

void RunWorkerOp(void*) { (void)InstallWorker(nullptr); }

void RunMessageLoopOp(void*) {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void WaitForWorkerOp(void* context) {
  WaitForSingleObject(static_cast<InstallContext*>(context)->worker, INFINITE);
}

void ShowErrorOp(void*, const wchar_t* text) { MessageBoxW(nullptr, text, kProductName, MB_OK | MB_ICONERROR); }

}  // namespace

void RunBootstrapper(HINSTANCE instance) {
  FormLayoutFromEnvironment();
  // Usually exists already; any real trouble shows as a failed download or unpack.
  (void)CreateDirectoryW(g_layout.install_root, nullptr);
  PromoteStage();
  if (TryFastLaunch()) return;

  ResetBootProgress(&g_boot_progress);
  InstallContext context{instance, nullptr};
  const InstallPathOps ops{CreateWindowOp, StartWorkerOp, RunWorkerOp, RunMessageLoopOp,
                           WaitForWorkerOp, ShowErrorOp, &context};
  RunInstallPath(ops, &g_boot_progress);
}
