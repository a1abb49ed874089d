#include "window_and_worker.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Recorder {
  bool window, thread;
  const wchar_t* error;  // what the worker ends with
  BootProgress* progress = nullptr;
  std::string calls;
  std::wstring shown;
};

Recorder* Rec(void* c) { return static_cast<Recorder*>(c); }

// The worker's outcome lands in BootProgress whichever way it runs.
void Work(Recorder* r) { StoreErrorText(r->progress, r->error); }

const InstallPathOps kOps = {
    [](void* c) { Rec(c)->calls += "window "; return Rec(c)->window; },
    [](void* c) { Rec(c)->calls += "thread "; if (Rec(c)->thread) Work(Rec(c)); return Rec(c)->thread; },
    [](void* c) { Rec(c)->calls += "inline "; Work(Rec(c)); },
    [](void* c) { Rec(c)->calls += "loop "; },
    [](void* c) { Rec(c)->calls += "wait "; },
    [](void* c, const wchar_t* text) { Rec(c)->calls += "box "; Rec(c)->shown = text; },
    nullptr};

std::string RunWith(Recorder* r) {
  BootProgress progress;
  r->progress = &progress;
  InstallPathOps ops = kOps;
  ops.context = r;
  RunInstallPath(ops, &progress);
  return r->calls;
}

}  // namespace

TEST(RunInstallPath, RunsTheWorkerAndEndsByWhetherAWindowAndAThreadCouldBeMade) {
  struct Row {
    bool window, thread;
    const wchar_t* error;
    const char* calls;
  } rows[] = {
      {true, true, L"Quorlin başlatılamadı.", "window thread loop "},  // the window shows the error
      {false, true, L"Quorlin başlatılamadı.", "window thread wait box "},
      {false, true, L"", "window thread wait "},  // success without a window ends quietly
      {true, false, L"", "window thread inline loop "},
      {false, false, L"Quorlin başlatılamadı.", "window thread inline box "},
  };
  for (const Row& row : rows) {
    Recorder r{row.window, row.thread, row.error, nullptr, {}, {}};
    EXPECT_EQ(RunWith(&r), row.calls) << row.window << row.thread;
    EXPECT_EQ(r.shown, std::string(row.calls).find("box") == std::string::npos ? L"" : row.error);
  }
}
