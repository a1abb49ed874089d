#include "runtime_download.h"

#include <windows.h>

#include <cstdint>

#include "download.h"
#include "file_digest.h"
#include "installed_copy.h"
#include "progress_window.h"
#include "system_libraries.h"
#include "texts.h"

// The runtime archive's SHA-256 in hexadecimal, when the build was given one.
#ifndef QUORLIN_RUNTIME_SHA256
#define QUORLIN_RUNTIME_SHA256 ""
#endif

namespace {

constexpr wchar_t kReleaseRuntimeUrl[] =
    L"https://github.com/electron/electron/releases/download/v45.2.1/electron-v45.2.1-win32-x64.zip";
constexpr wchar_t kUserAgent[] = L"Quorlin-Launcher/1.0";
// Never from the cache, never into it, TLS, and the connection kept; redirects are followed.
constexpr DWORD kOpenUrlFlags =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_SECURE | INTERNET_FLAG_KEEP_CONNECTION;
// Empty: the length the server stated is all that is checked.
constexpr char kRuntimeSha256[] = QUORLIN_RUNTIME_SHA256;

unsigned char g_download_buffer[kDownloadChunk];  // used by the worker thread only

// One runtime download, across its attempts.
struct Download {
  const wchar_t* error;  // what the last failed attempt leaves to show
  wchar_t space_error[kStatusTextCapacity];
};

uint64_t PartLength() {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(g_layout.download_part, GetFileExInfoStandard, &data)) return 0;
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

uint64_t FreeBytes() {
  ULARGE_INTEGER available;
  // When the system cannot tell, the download goes ahead; a real shortage shows as a failed write.
  if (!GetDiskFreeSpaceExW(g_layout.install_root, &available, nullptr, nullptr)) return UINT64_MAX;
  return available.QuadPart;
}

// A header's text; empty when the answer has none.
void QueryHeader(const WinInetApi& net, HINTERNET request, DWORD header, wchar_t* text, DWORD capacity) {
  DWORD size = capacity * sizeof(wchar_t);
  if (!net.query_info(request, header, text, &size, nullptr)) text[0] = L'\0';
}

// The part, opened to continue after its `held` bytes, or emptied to start over.
HANDLE OpenPart(bool append, uint64_t held) {
  HANDLE file = CreateFileW(g_layout.download_part, GENERIC_WRITE, 0, nullptr, append ? OPEN_EXISTING : CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE || !append) return file;
  LARGE_INTEGER end;
  // The rest goes exactly where the request said the part ends, or not at all.
  if (SetFilePointerEx(file, LARGE_INTEGER{}, &end, FILE_END) && static_cast<uint64_t>(end.QuadPart) == held) {
    return file;
  }
  CloseHandle(file);
  return INVALID_HANDLE_VALUE;
}

// Streams the body into `file`, which holds `held` bytes, and returns how many it holds then.
// `finished`: the loop reached the end of data.
uint64_t ReceiveBody(const WinInetApi& net, HINTERNET request, HANDLE file, uint64_t held, uint64_t total,
                     bool* finished) {
  *finished = false;
  for (;;) {
    DWORD read = 0;
    if (!net.read_file(request, g_download_buffer, sizeof(g_download_buffer), &read)) return held;
    if (read == 0) {
      *finished = true;
      return held;
    }
    DWORD written = 0;
    const bool whole = WriteFile(file, g_download_buffer, read, &written, nullptr) && written == read;
    held += written;
    if (!whole || BodyOverruns(held, total)) return held;
    if (total != 0) {
      wchar_t text[kStatusTextCapacity];
      (void)FormDownloadStatus(text, kStatusTextCapacity, held, total);
      SetStatus(text, DownloadPermille(held, total));
    }
  }
}

// The complete part becomes the archive once its digest, when the build has one, matches.
AttemptResult KeepWhenSound(Download* download) {
  unsigned char digest[kSha256Size];
  if (kRuntimeSha256[0] != '\0' &&
      !(FileSha256(g_layout.download_part, digest) && DigestMatches(kRuntimeSha256, digest))) {
    // Neither unpacked nor continued: the next attempt fetches the archive whole.
    (void)DeleteFileW(g_layout.download_part);
    download->error = kErrorDigest;
    return AttemptResult::kFailed;
  }
  // Replaces an archive that an earlier start could not unpack.
  return MoveFileExW(g_layout.download_part, g_layout.download_file, MOVEFILE_REPLACE_EXISTING)
             ? AttemptResult::kSucceeded
             : AttemptResult::kFailed;
}

AttemptResult Receive(const WinInetApi& net, HINTERNET request, uint64_t held, Download* download) {
  DWORD status = 0;
  DWORD status_size = sizeof(status);
  if (!net.query_info(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &status_size, nullptr)) {
    return AttemptResult::kFailed;
  }
  // Read as text, so a length beyond 4 GB is still understood.
  wchar_t length[64];
  wchar_t range[128];
  QueryHeader(net, request, HTTP_QUERY_CONTENT_LENGTH, length, 64);
  QueryHeader(net, request, HTTP_QUERY_CONTENT_RANGE, range, 128);
  const RangeAnswer answer = ReadRangeAnswer(status, held, range, ReadContentLength(length));
  if (answer.kind == RangeAnswer::kDiscard) (void)DeleteFileW(g_layout.download_part);
  if (answer.kind == RangeAnswer::kDiscard || answer.kind == RangeAnswer::kFail) return AttemptResult::kFailed;

  const bool append = answer.kind == RangeAnswer::kAppend;
  const uint64_t start = append ? held : 0;
  const uint64_t needed = SpaceNeeded(answer.total > start ? answer.total - start : 0);
  if (FreeBytes() < needed) {
    (void)FormSpaceError(download->space_error, kStatusTextCapacity, needed);
    download->error = download->space_error;
    return AttemptResult::kGiveUp;
  }
  HANDLE file = OpenPart(append, held);
  if (file == INVALID_HANDLE_VALUE) return AttemptResult::kFailed;
  bool finished = false;
  const uint64_t now_held = ReceiveBody(net, request, file, start, answer.total, &finished);
  CloseHandle(file);
  if (BodyOverruns(now_held, answer.total)) {
    // More than the server announced: nothing in the part can be trusted.
    (void)DeleteFileW(g_layout.download_part);
    return AttemptResult::kFailed;
  }
  if (AttemptSucceeded(finished, now_held, answer.total)) return KeepWhenSound(download);
  return now_held > held ? AttemptResult::kProgressed : AttemptResult::kFailed;
}

AttemptResult DownloadAttempt(void* context) {
  auto* download = static_cast<Download*>(context);
  download->error = kErrorDownload;
  const WinInetApi* net = LoadWinInet();
  if (net == nullptr) return AttemptResult::kFailed;
  HINTERNET session = net->open(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (session == nullptr) return AttemptResult::kFailed;
  const uint64_t held = PartLength();
  // Only what the part lacks is asked for; without a part, the whole archive.
  wchar_t range[64];
  const bool resume = held != 0 && FormRangeHeader(range, 64, held) >= 0;
  HINTERNET request = net->open_url(session, RuntimeUrl(), resume ? range : nullptr, resume ? static_cast<DWORD>(-1) : 0,
                                    kOpenUrlFlags, 0);
  AttemptResult result = AttemptResult::kFailed;
  if (request != nullptr) {
    result = Receive(*net, request, held, download);
    net->close_handle(request);
  }
  net->close_handle(session);
  return result;
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

const wchar_t* DownloadRuntime() {
  Download download{kErrorDownload, {}};
  return DownloadWithAttempts(DownloadAttempt, &download) ? nullptr : download.error;
}
