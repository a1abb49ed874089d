#include "install_worker.h"

#include <objbase.h>

#include <cstdint>
#include <cwchar>

#include "download.h"
#include "installed_copy.h"
#include "payload.h"
#include "progress.h"
#include "progress_window.h"
#include "run_hidden.h"
#include "system_libraries.h"
#include "texts.h"

namespace {

constexpr wchar_t kReleaseRuntimeUrl[] =
    L"https://github.com/electron/electron/releases/download/v45.2.1/electron-v45.2.1-win32-x64.zip";
constexpr wchar_t kUserAgent[] = L"Quorlin-Launcher/1.0";
// Never from the cache, never into it, TLS, and the connection kept; redirects are followed.
constexpr DWORD kOpenUrlFlags =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_SECURE | INTERNET_FLAG_KEEP_CONNECTION;

unsigned char g_download_buffer[kDownloadChunk];  // used by this thread only

// Streams the body of an open request into `file`; true when the loop reached the end of data
// with the announced number of bytes.
bool ReceiveBody(const WinInetApi& net, HINTERNET request, HANDLE file, uint64_t length) {
  uint64_t received = 0;
  for (;;) {
    DWORD read = 0;
    if (!net.read_file(request, g_download_buffer, sizeof(g_download_buffer), &read)) return false;
    if (read == 0) return AttemptSucceeded(true, received, length);
    DWORD written = 0;
    if (!WriteFile(file, g_download_buffer, read, &written, nullptr) || written != read) return false;
    received += written;
    if (BodyOverruns(received, length)) return false;
    if (length != 0) {
      wchar_t text[kStatusTextCapacity];
      (void)FormDownloadStatus(text, kStatusTextCapacity, received, length);
      SetStatus(text, DownloadPermille(received, length));
    }
  }
}

bool DownloadAttempt(void* /*context*/) {
  const WinInetApi* net = LoadWinInet();
  if (net == nullptr) return false;
  HINTERNET session = net->open(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (session == nullptr) return false;
  HINTERNET request = net->open_url(session, RuntimeUrl(), nullptr, 0, kOpenUrlFlags, 0);
  if (request == nullptr) {
    net->close_handle(session);
    return false;
  }
  bool ok = false;
  DWORD status = 0;
  DWORD status_size = sizeof(status);
  if (net->query_info(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &status_size,
                      nullptr) &&
      status == 200) {
    // Read as text, so a length beyond 4 GB is still understood; without the header (a chunked
    // answer) the length is unknown: 0.
    wchar_t length_text[64] = L"0";
    DWORD length_size = sizeof(length_text);
    const uint64_t length =
        net->query_info(request, HTTP_QUERY_CONTENT_LENGTH, length_text, &length_size, nullptr)
            ? wcstoull(length_text, nullptr, 10)
            : 0;
    HANDLE file = CreateFileW(g_layout.download_file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      ok = ReceiveBody(*net, request, file, length);
      CloseHandle(file);
    }
  }
  net->close_handle(request);
  net->close_handle(session);
  return ok;
}

void Fail(const wchar_t* error) {
  StoreErrorText(&g_boot_progress, error);
  FinishProgress();
}

// Downloads and unpacks the runtime; false (with the error stored) when that failed.
bool InstallRuntime() {
  SetStatus(kStatusDownloading, 0);
  if (!DownloadWithAttempts(DownloadAttempt, nullptr)) {
    Fail(kErrorDownload);
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

const wchar_t* RuntimeUrl() {
#ifdef QUORLIN_TEST_BUILD
  static wchar_t test_url[2048];
  DWORD length = GetEnvironmentVariableW(L"QUORLIN_TEST_RUNTIME_URL", test_url, 2048);
  if (length != 0 && length < 2048) return test_url;
#endif
  return kReleaseRuntimeUrl;
}

DWORD WINAPI InstallWorker(LPVOID /*unused*/) {
  // The shell start at the end needs COM on this thread.
  (void)CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

  char stamp[kStampCapacity];
  if (!RuntimeIsCurrent(ReadInstalledCopy(stamp)) && !InstallRuntime()) return 0;

  SetStatus(kStatusPreparing, 900);
  WriteCarriedArchive(g_layout.app_archive);
  RemoveTree(g_layout.app_dir);
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
