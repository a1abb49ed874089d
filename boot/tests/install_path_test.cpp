#include "install_path.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Recorder {
  bool window = true;
  bool thread = true;
  const wchar_t* error = L"Quorlin başlatılamadı.";  // what the worker ends with
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

TEST(InstallPath, WithAWindowTheMessageLoopRunsAndTheWindowShowsTheError) {
  Recorder r;
  EXPECT_EQ(RunWith(&r), "window thread loop ");
}

TEST(InstallPath, WithoutAWindowTheWorkerIsAwaitedAndItsErrorShown) {
  Recorder r;
  r.window = false;
  EXPECT_EQ(RunWith(&r), "window thread wait box ");
  EXPECT_EQ(r.shown, L"Quorlin başlatılamadı.");
}

TEST(InstallPath, WithoutAWindowASuccessfulInstallEndsQuietly) {
  Recorder r;
  r.window = false;
  r.error = L"";
  EXPECT_EQ(RunWith(&r), "window thread wait ");
}

TEST(InstallPath, AWorkerThreadThatCannotStartRunsInline) {
  Recorder with_window;
  with_window.thread = false;
  EXPECT_EQ(RunWith(&with_window), "window thread inline loop ");
  Recorder without_window;
  without_window.thread = false;
  without_window.window = false;
  EXPECT_EQ(RunWith(&without_window), "window thread inline box ");
}
