#include "record.h"

#include <windows.h>

static void Put(Record *r, const wchar_t *s) {
  while (*s && r->len + 1 < sizeof r->text / sizeof r->text[0]) r->text[r->len++] = *s++;
  r->text[r->len] = 0;
}

static void PutEscaped(Record *r, const wchar_t *s) {
  wchar_t one[8];
  Put(r, L"\"");
  for (; *s; s++) {
    if (*s == L'"' || *s == L'\\') {
      one[0] = L'\\'; one[1] = *s; one[2] = 0;
    } else if (*s < 0x20) {
      swprintf(one, 8, L"\\u%04x", (unsigned)*s);
    } else {
      one[0] = *s; one[1] = 0;
    }
    Put(r, one);
  }
  Put(r, L"\"");
}

static void PutKey(Record *r, const wchar_t *key) {
  if (r->len > 1) Put(r, L",");
  PutEscaped(r, key);
  Put(r, L":");
}

void RecordBegin(Record *r) {
  r->len = 0;
  r->text[0] = 0;
  Put(r, L"{");
}

void RecordString(Record *r, const wchar_t *key, const wchar_t *value) {
  PutKey(r, key);
  if (value) PutEscaped(r, value);
  else Put(r, L"null");
}

void RecordNumber(Record *r, const wchar_t *key, long long value) {
  wchar_t num[32];
  swprintf(num, 32, L"%lld", value);
  PutKey(r, key);
  Put(r, num);
}

void RecordBool(Record *r, const wchar_t *key, int value) {
  PutKey(r, key);
  Put(r, value ? L"true" : L"false");
}

void RecordArgv(Record *r, const wchar_t *key, int argc, wchar_t **argv) {
  PutKey(r, key);
  Put(r, L"[");
  for (int i = 0; i < argc; i++) {
    if (i) Put(r, L",");
    PutEscaped(r, argv[i]);
  }
  Put(r, L"]");
}

void RecordWrite(Record *r, const wchar_t *fileName) {
  wchar_t dir[MAX_PATH], path[MAX_PATH * 2];
  if (!ReadEnv(L"STANDIN_LOG", dir, MAX_PATH)) return;
  Put(r, L"}\n");
  swprintf(path, MAX_PATH * 2, L"%ls\\%ls", dir, fileName);
  int bytes = WideCharToMultiByte(CP_UTF8, 0, r->text, (int)r->len, NULL, 0, NULL, NULL);
  char *utf8 = (char *)HeapAlloc(GetProcessHeap(), 0, bytes ? bytes : 1);
  WideCharToMultiByte(CP_UTF8, 0, r->text, (int)r->len, utf8, bytes, NULL, NULL);
  /* One appending write per line, so a reader never sees half a record. */
  HANDLE f = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (f != INVALID_HANDLE_VALUE) {
    DWORD written;
    WriteFile(f, utf8, (DWORD)bytes, &written, NULL);
    CloseHandle(f);
  }
  HeapFree(GetProcessHeap(), 0, utf8);
}

int ReadEnv(const wchar_t *name, wchar_t *buf, unsigned capacity) {
  DWORD n = GetEnvironmentVariableW(name, buf, capacity);
  if (n == 0 || n >= capacity) {
    buf[0] = 0;
    return 0;
  }
  return 1;
}
