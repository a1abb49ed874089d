#include "download.h"

#include "format_text.h"
#include "texts.h"

namespace {
constexpr uint64_t kMebibyte = 1048576;
}  // namespace

int FormDownloadStatus(wchar_t* buffer, size_t capacity, uint64_t received, uint64_t length) {
  return FormatText(buffer, capacity, kStatusDownloadingFormat,
                    static_cast<unsigned long long>(received / kMebibyte),
                    static_cast<unsigned long long>(length / kMebibyte));
}

int32_t DownloadPermille(uint64_t received, uint64_t length) {
  return static_cast<int32_t>(received * 800 / length);
}

bool BodyOverruns(uint64_t received, uint64_t length) { return length != 0 && received > length; }

bool AttemptSucceeded(bool finished, uint64_t received, uint64_t length) {
  return finished && (length == 0 || received == length);
}

bool DownloadWithAttempts(bool (*attempt)(void* context), void* context) {
  for (int i = 0; i < kDownloadAttempts; ++i) {
    if (attempt(context)) return true;
  }
  return false;
}
