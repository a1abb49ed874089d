// Start-up: install layout, staged-update promotion, fast launch or the install path.
#pragma once

#include <windows.h>

// Runs the whole bootstrapper; returns when the process should end (always with code 0).
void RunBootstrapper(HINSTANCE instance);
