// DPI functions that older Windows 10 builds lack. They are looked up at run time, so the
// executable still loads there and works at 96 DPI.
#pragma once

#include <windows.h>

// Declares per-monitor (v2) DPI awareness; on systems without it, system DPI awareness.
void DeclareDpiAwareness();

// The system DPI, or 96 when the system cannot tell.
int SystemDpi();

// The DPI of `window`, or 96 when the system cannot tell.
int WindowDpi(HWND window);
