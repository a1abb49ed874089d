// How the install path runs the progress window and the install worker together: which of
// them runs on which thread and how the process ends. Portable: the Windows calls are passed in.
#pragma once

#include "progress.h"

struct InstallPathOps {
  bool (*create_window)(void* context);    // true when the progress window exists
  bool (*start_worker)(void* context);     // starts the worker on a thread of its own
  void (*run_worker)(void* context);       // runs the worker on the calling thread
  void (*run_message_loop)(void* context); // returns once the window is destroyed
  void (*wait_for_worker)(void* context);  // returns once the worker thread has ended
  void (*show_error)(void* context, const wchar_t* text);  // message box without owner
  void* context;
};

// With a window, the message loop runs until the window closes; the window shows the worker's
// error itself. Without one, nothing would ever end the process, so this waits for the
// worker, shows its error (if any) in a box of its own and returns. A worker thread that cannot
// be started runs on the calling thread instead, so the install still happens.
void RunInstallPath(const InstallPathOps& ops, const BootProgress* progress);
