#include "startup.h"

#include "archive.h"
#include "install_path.h"
#include "install_worker.h"
#include "payload.h"
#include "progress.h"
#include "progress_window.h"
#include "run_hidden.h"
#include "stamp.h"
#include "texts.h"

Layout g_layout;

namespace {

struct FileState {
  bool found;
  bool is_directory;
};

FileState Probe(const wchar_t* path) {
  DWORD attributes = GetFileAttributesW(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return {false, false};
  return {true, (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0};
}

void FormLayoutFromEnvironment() {
  wchar_t local_app_data[kPathCapacity];
  DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", local_app_data, kPathCapacity);
  // 0: unset or empty; kPathCapacity or more: too long for the buffer, so not read at all.
  FormLayout(&g_layout, length != 0 && length < kPathCapacity ? local_app_data : nullptr,
             LongestEntryName(CarriedArchive(), CarriedArchiveSize()));
}

void PromoteStage() {
  FileState probe = Probe(g_layout.stage_probe);
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

bool IsFile(const wchar_t* path) {
  FileState state = Probe(path);
  return state.found && !state.is_directory;
}

InstalledCopy ReadInstalledCopy(char* stamp) {
  const bool stamp_opened = ReadVersionStamp(g_layout.version_file, stamp);
  return {IsFile(g_layout.runtime_exe), stamp_opened, stamp_opened ? stamp : "", IsFile(g_layout.app_main_js)};
}

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
