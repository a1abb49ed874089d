// The progress window: a borderless card that shows BootProgress and closes when the install
// worker is done.
#pragma once

#include <windows.h>

#include <cstdint>

constexpr UINT WM_BOOT_REFRESH = WM_APP + 1;  // BootProgress changed; repaint
constexpr UINT WM_BOOT_FINISH = WM_APP + 2;   // worker done; show its error, if any, then close

extern HWND g_window;  // set before the worker starts; null when the window could not be made

// Registers the window class and creates the visible card centred on the primary screen at
// the system DPI, with its two fonts. Returns false when the window could not be created.
bool CreateProgressWindow(HINSTANCE instance);

// Worker side: stores the status text (at most 254 characters) and, unless `permille` is
// negative, the progress; then asks the window to repaint.
void SetStatus(const wchar_t* text, int32_t permille);

// Worker side, its last act: asks the window to show the error text, if any, and close.
void FinishProgress();

// Draws the whole card into `dc` (client area `width` × `height` at `dpi`).
void PaintCard(HDC dc, int width, int height, int dpi, int32_t permille, const wchar_t* status);
