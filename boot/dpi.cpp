#include "dpi.h"

#include "card.h"
#include "system_libraries.h"

namespace {

template <typename Fn>
Fn User32Function(const char* name) {
  return LibraryFunction<Fn>(GetModuleHandleW(L"user32.dll"), name);
}

}  // namespace

void DeclareDpiAwareness() {
  using SetContextFn = BOOL(WINAPI*)(HANDLE);
  if (auto set_context = User32Function<SetContextFn>("SetProcessDpiAwarenessContext")) {
    // Per-monitor v2; a refusal (awareness already set) changes nothing for the card.
    (void)set_context(reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-4)));
    return;
  }
  (void)SetProcessDPIAware();
}

int SystemDpi() {
  using GetSystemFn = UINT(WINAPI*)();
  auto get_system = User32Function<GetSystemFn>("GetDpiForSystem");
  return EffectiveDpi(get_system == nullptr ? 0 : static_cast<int>(get_system()));
}

int WindowDpi(HWND window) {
  using GetWindowFn = UINT(WINAPI*)(HWND);
  auto get_window = User32Function<GetWindowFn>("GetDpiForWindow");
  return EffectiveDpi(get_window == nullptr ? 0 : static_cast<int>(get_window(window)));
}
