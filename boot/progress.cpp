#include "progress.h"

#include "format_text.h"

BootProgress g_boot_progress;

namespace {

// lstrcpyn-style limit: one less than the buffer keeps 254 characters of a 256-character buffer.
constexpr size_t kStatusLimit = kStatusCapacity - 1;

void Lock(BootProgress* progress) {
  while (progress->status_lock.test_and_set(std::memory_order_acquire)) {
  }
}

void Unlock(BootProgress* progress) { progress->status_lock.clear(std::memory_order_release); }

}  // namespace

void ResetBootProgress(BootProgress* progress) {
  StoreStatusText(progress, kStatusInitial);
  progress->permille.store(0);
  progress->error[0] = L'\0';
}

void StoreStatusText(BootProgress* progress, const wchar_t* text) {
  Lock(progress);
  (void)CopyText(progress->status, kStatusLimit, text);  // a longer text is cut, as shown
  Unlock(progress);
}

void CopyStatusText(BootProgress* progress, wchar_t* out) {
  Lock(progress);
  (void)CopyText(out, kStatusCapacity, progress->status);
  Unlock(progress);
}

void StoreErrorText(BootProgress* progress, const wchar_t* text) {
  (void)CopyText(progress->error, kErrorCapacity, text);
}
