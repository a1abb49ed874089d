// The application kept as app.old after an update, and when it comes back. Portable.
//
// app.starts holds, in ASCII decimal, how many starts of the new application have not (yet)
// shown its window; the launcher deletes app.old and app.starts once its window has shown.
#pragma once

#include <cstddef>

constexpr size_t kStartCountCapacity = 16;  // bytes of app.starts that are read

// The count in the first `count` bytes of app.starts: decimal digits, white space around them
// allowed (a line break written by a script). Anything else reads as 0; a count too long to
// hold is taken as large.
unsigned ParseStartCount(const char* bytes, size_t count);

// At each start, before the fast launch, when app.old holds main.js: after two starts that
// never showed the window the new application has failed, and app.old comes back; before that
// this start is counted. Without a kept application there is nothing to do.
enum class PreviousAppAction { kNone, kCount, kRestore };
PreviousAppAction DecidePreviousApp(bool kept_app_has_main_js, unsigned starts);
