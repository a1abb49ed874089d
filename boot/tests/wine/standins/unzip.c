#include "unzip.h"

#include <windows.h>
#include <wchar.h>
#include <zlib.h>

enum { kEocdSize = 22, kCentralSize = 46, kLocalSize = 30 };

static unsigned Get16(const unsigned char *p) { return p[0] | (p[1] << 8); }
static unsigned long Get32(const unsigned char *p) {
  return (unsigned long)p[0] | ((unsigned long)p[1] << 8) | ((unsigned long)p[2] << 16) |
         ((unsigned long)p[3] << 24);
}

static unsigned char *ReadWhole(const wchar_t *path, DWORD *size) {
  HANDLE f = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
  if (f == INVALID_HANDLE_VALUE) return NULL;
  DWORD high = 0, got = 0;
  *size = GetFileSize(f, &high);
  unsigned char *data = NULL;
  if (high == 0 && *size != INVALID_FILE_SIZE) {
    data = (unsigned char *)HeapAlloc(GetProcessHeap(), 0, *size ? *size : 1);
    if (data && (!ReadFile(f, data, *size, &got, NULL) || got != *size)) {
      HeapFree(GetProcessHeap(), 0, data);
      data = NULL;
    }
  }
  CloseHandle(f);
  return data;
}

/* A relative path with no "..", drive or root part. */
static int IsSafeName(const wchar_t *name) {
  if (!name[0] || name[0] == L'\\' || wcschr(name, L':')) return 0;
  for (const wchar_t *p = name; *p;) {
    const wchar_t *end = wcschr(p, L'\\');
    size_t n = end ? (size_t)(end - p) : wcslen(p);
    if (n == 2 && p[0] == L'.' && p[1] == L'.') return 0;
    p += n + (end ? 1 : 0);
  }
  return 1;
}

/* Creates every folder along path up to (not including) its last component, or all of it
 * when whole is set. */
static void MakeFolders(wchar_t *path, size_t rootLen, int whole) {
  for (wchar_t *p = path + rootLen + 1; *p; p++) {
    if (*p != L'\\') continue;
    *p = 0;
    CreateDirectoryW(path, NULL);
    *p = L'\\';
  }
  if (whole) CreateDirectoryW(path, NULL);
}

static int Inflate(const unsigned char *in, unsigned long inSize, unsigned char *out,
                   unsigned long outSize) {
  z_stream z = {0};
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return 0;
  z.next_in = (Bytef *)in;
  z.avail_in = inSize;
  z.next_out = out;
  z.avail_out = outSize;
  int rc = inflate(&z, Z_FINISH);
  int ok = rc == Z_STREAM_END && z.total_out == outSize;
  inflateEnd(&z);
  return ok;
}

static int WriteWhole(const wchar_t *path, const unsigned char *data, unsigned long size) {
  HANDLE f = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (f == INVALID_HANDLE_VALUE) return 0;
  DWORD written = 0;
  int ok = WriteFile(f, data, size, &written, NULL) && written == size;
  CloseHandle(f);
  return ok;
}

static int ExtractEntries(const unsigned char *zip, DWORD size, const wchar_t *destDir) {
  if (size < kEocdSize) return 0;
  DWORD eocd = size - kEocdSize;
  while (Get32(zip + eocd) != 0x06054b50) {
    if (eocd == 0 || size - eocd > 65535 + kEocdSize) return 0;
    eocd--;
  }
  unsigned count = Get16(zip + eocd + 10);
  unsigned long at = Get32(zip + eocd + 16);
  size_t rootLen = wcslen(destDir);
  for (unsigned i = 0; i < count; i++) {
    if (at > size || size - at < kCentralSize || Get32(zip + at) != 0x02014b50) return 0;
    const unsigned char *c = zip + at;
    unsigned method = Get16(c + 10), nameLen = Get16(c + 28);
    unsigned long crc = Get32(c + 16), packed = Get32(c + 20), plain = Get32(c + 24);
    unsigned long local = Get32(c + 42);
    at += kCentralSize + nameLen + Get16(c + 30) + Get16(c + 32);
    if (at > size || local > size || size - local < kLocalSize || Get32(zip + local) != 0x04034b50)
      return 0;
    unsigned long data = local + kLocalSize + Get16(zip + local + 26) + Get16(zip + local + 28);
    if (data > size || size - data < packed) return 0;

    wchar_t name[MAX_PATH], path[MAX_PATH * 2];
    int n = MultiByteToWideChar(CP_UTF8, 0, (const char *)c + kCentralSize, (int)nameLen, name,
                                MAX_PATH - 1);
    if (n <= 0) return 0;
    name[n] = 0;
    for (wchar_t *p = name; *p; p++)
      if (*p == L'/') *p = L'\\';
    int isFolder = name[n - 1] == L'\\';
    if (isFolder) name[n - 1] = 0;
    if (!IsSafeName(name)) return 0;
    swprintf(path, MAX_PATH * 2, L"%ls\\%ls", destDir, name);
    MakeFolders(path, rootLen, isFolder);
    if (isFolder) continue;

    unsigned char *out = (unsigned char *)HeapAlloc(GetProcessHeap(), 0, plain ? plain : 1);
    int ok = out != NULL;
    if (ok && method == 0) ok = packed == plain && (memcpy(out, zip + data, plain), 1);
    else if (ok && method == 8) ok = Inflate(zip + data, packed, out, plain);
    else ok = 0;
    ok = ok && crc32(0L, out, plain) == crc && WriteWhole(path, out, plain);
    if (out) HeapFree(GetProcessHeap(), 0, out);
    if (!ok) return 0;
  }
  return 1;
}

int UnzipFile(const wchar_t *zipPath, const wchar_t *destDir) {
  DWORD size = 0;
  unsigned char *zip = ReadWhole(zipPath, &size);
  if (!zip) return 1;
  int ok = ExtractEntries(zip, size, destDir);
  HeapFree(GetProcessHeap(), 0, zip);
  return ok ? 0 : 1;
}
