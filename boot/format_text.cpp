#include "format_text.h"

#include <cstdarg>

namespace {

// Appends `count` characters to the output; false once the capacity would be exceeded
// (one character is always kept back for the terminator).
bool Put(wchar_t* buffer, size_t capacity, size_t* used, const wchar_t* chars, size_t count) {
  if (*used + count >= capacity) return false;
  for (size_t i = 0; i < count; ++i) buffer[*used + i] = chars[i];
  *used += count;
  return true;
}

}  // namespace

size_t TextLength(const wchar_t* text) {
  size_t n = 0;
  while (text[n] != L'\0') ++n;
  return n;
}

bool CopyText(wchar_t* buffer, size_t limit, const wchar_t* source) {
  size_t n = 0;
  while (source[n] != L'\0' && n + 1 < limit) {
    buffer[n] = source[n];
    ++n;
  }
  buffer[n] = L'\0';
  return source[n] == L'\0';
}

int FormatText(wchar_t* buffer, size_t capacity, const wchar_t* format, ...) {
  if (buffer == nullptr || capacity == 0) return -1;
  va_list args;
  va_start(args, format);
  size_t used = 0;
  bool fits = true;
  for (const wchar_t* p = format; *p != L'\0' && fits; ++p) {
    if (p[0] == L'%' && p[1] == L's') {
      const wchar_t* text = va_arg(args, const wchar_t*);
      if (text != nullptr) fits = Put(buffer, capacity, &used, text, TextLength(text));
      p += 1;
    } else if (p[0] == L'%' && p[1] == L'l' && p[2] == L'l' && p[3] == L'u') {
      unsigned long long value = va_arg(args, unsigned long long);
      wchar_t digits[20];
      size_t count = 0;
      do {
        digits[count++] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
      } while (value != 0);
      wchar_t ordered[20];
      for (size_t i = 0; i < count; ++i) ordered[i] = digits[count - 1 - i];
      fits = Put(buffer, capacity, &used, ordered, count);
      p += 3;
    } else if (p[0] == L'%' && p[1] == L'%') {
      fits = Put(buffer, capacity, &used, p, 1);
      p += 1;
    } else {
      fits = Put(buffer, capacity, &used, p, 1);
    }
  }
  va_end(args);
  if (!fits) {
    buffer[0] = L'\0';
    return -1;
  }
  buffer[used] = L'\0';
  return static_cast<int>(used);
}
