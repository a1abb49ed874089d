// BootProgress: the state the install worker shares with the progress window. Portable.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "texts.h"

constexpr size_t kStatusCapacity = 256;  // characters with terminator; 254 are kept
constexpr size_t kErrorCapacity = 512;   // characters with terminator

struct BootProgress {
  // Held while the status text is copied in or out, so painting never draws a half-written
  // text. Both copies are a few hundred characters, so a spin is all the waiting there is.
  std::atomic_flag status_lock = ATOMIC_FLAG_INIT;
  wchar_t status[kStatusCapacity] = {};
  std::atomic<int32_t> permille{0};  // 0 to 1000
  // Written by the worker once, before it posts its finish message; read only after that.
  wchar_t error[kErrorCapacity] = {};
};

extern BootProgress g_boot_progress;

// Sets the status text to the initial "Hazırlanıyor…", progress 0 and no error.
void ResetBootProgress(BootProgress* progress);

// Stores the status text under the lock; at most 254 characters are kept.
void StoreStatusText(BootProgress* progress, const wchar_t* text);

// Copies the status text under the lock into `out` (kStatusCapacity characters).
void CopyStatusText(BootProgress* progress, wchar_t* out);

// Stores the error text, cut to 511 characters should one ever be longer.
void StoreErrorText(BootProgress* progress, const wchar_t* text);
