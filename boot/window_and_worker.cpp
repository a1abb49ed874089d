#include "window_and_worker.h"

void RunInstallPath(const InstallPathOps& ops, const BootProgress* progress) {
  const bool has_window = ops.create_window(ops.context);
  const bool threaded = ops.start_worker(ops.context);
  if (!threaded) ops.run_worker(ops.context);
  if (has_window) {
    ops.run_message_loop(ops.context);
    return;
  }
  if (threaded) ops.wait_for_worker(ops.context);
  if (progress->error[0] != L'\0') ops.show_error(ops.context, progress->error);
}
