// The runtime download's arithmetic and its attempts. Portable; the transfer itself is in the
// install worker.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int kDownloadAttempts = 3;
constexpr size_t kDownloadChunk = 65536;  // bytes per read
constexpr size_t kStatusTextCapacity = 128;

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

// Runs `attempt` until it succeeds, at most kDownloadAttempts times, one right after the other.
bool DownloadWithAttempts(bool (*attempt)(void* context), void* context);
