// The runtime download's arithmetic, its answers and its attempts. Portable; the transfer
// itself is in runtime_download.cpp.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int kDownloadAttempts = 3;
constexpr size_t kDownloadChunk = 65536;  // bytes per read
constexpr size_t kStatusTextCapacity = 128;
constexpr size_t kSha256Size = 32;  // bytes
constexpr uint64_t kMebibyte = 1048576;
// Room the unpacked runtime takes beside its archive until the archive is deleted. An estimate:
// the runtime's win-x64 releases of recent years unpack to 240–290 MB and grow with each
// version, so this leaves a margin.
constexpr uint64_t kRuntimeUnpackedSize = 330 * kMebibyte;

// "Quorlin indiriliyor… <received MB> / <length MB> MB", both rounded down to whole mebibytes.
int FormDownloadStatus(wchar_t* buffer, size_t capacity, uint64_t received, uint64_t length);

// The download's share of the bar: received × 800 / length in permille (length not 0).
int32_t DownloadPermille(uint64_t received, uint64_t length);

// True once more bytes arrived than the response announced: the attempt has failed already,
// so reading stops instead of writing the rest of an oversized body to disk.
bool BodyOverruns(uint64_t received, uint64_t length);

// An attempt succeeds when its read loop reached the end of data and the byte count matches
// the announced length (any count does when no length was announced).
bool AttemptSucceeded(bool finished, uint64_t received, uint64_t length);

// A Content-Length header's value: a plain decimal number, else 0 (unknown), as for an answer
// without one.
uint64_t ReadContentLength(const wchar_t* text);

// "Range: bytes=<held>-\r\n": asks for what a partial file of `held` bytes lacks.
int FormRangeHeader(wchar_t* buffer, size_t capacity, uint64_t held);

// What an answer means for a partial file that holds `held` bytes:
//   206 whose Content-Range ("bytes <held>-<total - 1>/<total>") and Content-Length fit
//       the request: append;
//   200: the server sent the whole file, start over;
//   416 (the part is longer than the file) or a 206 that does not fit: the part cannot be
//       continued, delete it;
//   anything else: a failed attempt that leaves the part as it is.
struct RangeAnswer {
  enum Kind { kAppend, kStartOver, kDiscard, kFail } kind;
  uint64_t total;  // the whole file's length as the server stated it; 0 = unknown
};
RangeAnswer ReadRangeAnswer(uint32_t status, uint64_t held, const wchar_t* content_range,
                            uint64_t content_length);

// Free bytes the runtime needs before `to_come` more bytes of its archive are downloaded: those
// and the unpacked runtime (saturating, whatever length a server states).
uint64_t SpaceNeeded(uint64_t to_come);

// "Quorlin için en az <MB> MB boş alan gerekiyor." with `needed` rounded up to whole mebibytes.
int FormSpaceError(wchar_t* buffer, size_t capacity, uint64_t needed);

// True when `expected_hex` (64 hexadecimal digits, either case) names the kSha256Size bytes of
// `digest`.
bool DigestMatches(const char* expected_hex, const unsigned char* digest);

// What one attempt came to.
enum class AttemptResult {
  kSucceeded,   // the whole file is in place
  kFailed,      // counts against the attempts
  kProgressed,  // failed, but the partial file grew: does not count
  kGiveUp,      // no further attempt could help
};

// Runs `attempt` until it succeeds or gives up, or until kDownloadAttempts attempts have failed
// without progress, one right after the other. Attempts that made progress do not count.
bool DownloadWithAttempts(AttemptResult (*attempt)(void* context), void* context);
