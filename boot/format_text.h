// Bounded wide-character formatting for every path, command line and status text of the
// bootstrapper. Portable: compiled for Windows and for the host's unit tests.
#pragma once

#include <cstddef>

// Writes `format` into `buffer` (capacity `capacity` characters, terminating zero included).
// Directives: "%s" inserts a wide text (a null pointer inserts nothing), "%llu" an unsigned
// long long, "%%" a percent sign; anything else after "%" is copied as it stands.
// Returns the number of characters written without the terminator, or -1 when `buffer` is
// null, `capacity` is 0 or the output does not fit. On -1 the buffer (if any) holds the empty
// text: a path or command line is either whole or absent, never cut.
int FormatText(wchar_t* buffer, size_t capacity, const wchar_t* format, ...);

// Copies at most `limit` - 1 characters of `source` into `buffer` and always terminates it
// (`limit` >= 1). Returns true when the whole text fitted.
bool CopyText(wchar_t* buffer, size_t limit, const wchar_t* source);

// Length of a zero-terminated wide text.
size_t TextLength(const wchar_t* text);
