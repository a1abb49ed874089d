#include "download.h"

#include <cstdint>

#include "format_text.h"
#include "texts.h"

namespace {

// Reads a plain decimal number at `*p` (digits only, at least one, no overflow) and moves `*p`
// past it.
bool ReadDecimal(const wchar_t** p, uint64_t* value) {
  const wchar_t* start = *p;
  uint64_t n = 0;
  for (; **p >= L'0' && **p <= L'9'; ++*p) {
    const unsigned digit = static_cast<unsigned>(**p - L'0');
    if (n > (UINT64_MAX - digit) / 10) return false;
    n = n * 10 + digit;
  }
  *value = n;
  return *p != start;
}

bool Skip(const wchar_t** p, const wchar_t* expected) {
  for (; *expected != L'\0'; ++expected, ++*p) {
    if (**p != *expected) return false;
  }
  return true;
}

// "bytes <first>-<last>/<total>" with a known total.
bool ReadContentRange(const wchar_t* text, uint64_t* first, uint64_t* last, uint64_t* total) {
  const wchar_t* p = text;
  return Skip(&p, L"bytes ") && ReadDecimal(&p, first) && Skip(&p, L"-") && ReadDecimal(&p, last) &&
         Skip(&p, L"/") && ReadDecimal(&p, total) && *p == L'\0';
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

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

uint64_t ReadContentLength(const wchar_t* text) {
  uint64_t length = 0;
  return ReadDecimal(&text, &length) && *text == L'\0' ? length : 0;
}

int FormRangeHeader(wchar_t* buffer, size_t capacity, uint64_t held) {
  return FormatText(buffer, capacity, L"Range: bytes=%llu-\r\n", static_cast<unsigned long long>(held));
}

RangeAnswer ReadRangeAnswer(uint32_t status, uint64_t held, const wchar_t* content_range,
                            uint64_t content_length) {
  if (status == 200) return {RangeAnswer::kStartOver, content_length};
  if (status == 416) return {RangeAnswer::kDiscard, 0};
  if (status != 206) return {RangeAnswer::kFail, 0};
  uint64_t first = 0, last = 0, total = 0;
  // Only the rest of the file, exactly from where the part ends, continues it.
  const bool fits = ReadContentRange(content_range, &first, &last, &total) && first == held && first <= last &&
                    last < total && last + 1 == total && (content_length == 0 || content_length == total - first);
  return fits ? RangeAnswer{RangeAnswer::kAppend, total} : RangeAnswer{RangeAnswer::kDiscard, 0};
}

uint64_t SpaceNeeded(uint64_t to_come) {
  return to_come > UINT64_MAX - kRuntimeUnpackedSize ? UINT64_MAX : to_come + kRuntimeUnpackedSize;
}

int FormSpaceError(wchar_t* buffer, size_t capacity, uint64_t needed) {
  const uint64_t mebibytes = needed / kMebibyte + (needed % kMebibyte != 0 ? 1 : 0);
  return FormatText(buffer, capacity, kErrorSpaceFormat, static_cast<unsigned long long>(mebibytes));
}

bool DigestMatches(const char* expected_hex, const unsigned char* digest) {
  for (size_t i = 0; i < kSha256Size; ++i) {
    const int high = HexValue(expected_hex[2 * i]);
    if (high < 0) return false;  // also the end of a shorter text
    const int low = HexValue(expected_hex[2 * i + 1]);
    if (low < 0 || high * 16 + low != digest[i]) return false;
  }
  return expected_hex[2 * kSha256Size] == '\0';
}

bool DownloadWithAttempts(AttemptResult (*attempt)(void* context), void* context) {
  for (int failed = 0; failed < kDownloadAttempts;) {
    switch (attempt(context)) {
      case AttemptResult::kSucceeded:
        return true;
      case AttemptResult::kGiveUp:
        return false;
      case AttemptResult::kProgressed:
        break;
      case AttemptResult::kFailed:
        ++failed;
        break;
    }
  }
  return false;
}
