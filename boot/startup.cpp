#include "startup.h"

#include <cstdio>

#include "install_worker.h"
#include "installed_copy.h"
#include "payload.h"
#include "previous_app.h"
#include "progress.h"
#include "progress_window.h"
#include "run_hidden.h"
#include "texts.h"
#include "whole_file.h"
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

// Sets app.starts to `starts`, in ASCII decimal.
void WriteStartCount(unsigned starts) {
  char text[kStartCountCapacity];
  const int length = std::snprintf(text, sizeof(text), "%u", starts);
  (void)WriteWholeFile(g_layout.start_count, text, static_cast<size_t>(length));
}

// A complete stage becomes the application; the one it replaces is kept as app.old until the
// new one has shown its window.
void PromoteStage() {
  const FileState probe = ProbeFile(g_layout.stage_probe);
  if (DecideStage(probe.found, probe.is_directory) == StageAction::kRemove) {
    // Runs even when no stage exists, so a stale half-stage never survives.
    RemoveTree(g_layout.stage_dir);
    return;
  }
  if (ProbeFile(g_layout.kept_app_dir).found) RemoveTree(g_layout.kept_app_dir);
  // An application that cannot be moved aside (a file of it still open) stays whole, and the
  // stage waits for a later start.
  if (!MoveFileW(g_layout.app_dir, g_layout.kept_app_dir) && ProbeFile(g_layout.app_dir).found) return;
  if (!MoveFileW(g_layout.stage_dir, g_layout.app_dir)) {
    // Put back as it was; the stage waits for a later start.
    (void)MoveFileW(g_layout.kept_app_dir, g_layout.app_dir);
    return;
  }
  WriteStartCount(0);
}

// Counts the starts of an updated application that have not shown its window yet, and after
// two of them puts the kept application back.
void KeepOrRestorePreviousApp() {
  const FileState kept = ProbeFile(g_layout.kept_app_main_js);
  char bytes[kStartCountCapacity];
  size_t count = 0;
  // Missing or unreadable counts as 0.
  const unsigned starts = ReadFileStart(g_layout.start_count, bytes, sizeof(bytes), &count)
                              ? ParseStartCount(bytes, count)
                              : 0;
  switch (DecidePreviousApp(kept.found && !kept.is_directory, starts)) {
    case PreviousAppAction::kNone:
      return;
    case PreviousAppAction::kCount:
      WriteStartCount(starts + 1);
      return;
    case PreviousAppAction::kRestore:
      break;
  }
  RemoveTree(g_layout.app_dir);
  // Part of the failed application still there (a file held open): all stays as it is.
  if (ProbeFile(g_layout.app_dir).found) return;
  // Should the move fail, no application is left and the install path puts the carried one in place.
  if (!MoveFileW(g_layout.kept_app_dir, g_layout.app_dir)) return;
  (void)DeleteFileW(g_layout.start_count);
  // Tells the launcher to say once that the update did not open.
  (void)WriteWholeFile(g_layout.rolled_back, "", 0);
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
  KeepOrRestorePreviousApp();
  if (TryFastLaunch()) return;

  ResetBootProgress(&g_boot_progress);
  InstallContext context{instance, nullptr};
  const InstallPathOps ops{CreateWindowOp, StartWorkerOp, RunWorkerOp, RunMessageLoopOp,
                           WaitForWorkerOp, ShowErrorOp, &context};
  RunInstallPath(ops, &g_boot_progress);
}
