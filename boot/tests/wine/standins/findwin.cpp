/* Watches the desktop while the bootstrapper runs and reports what the user would have seen,
 * as one JSON object on standard output:
 *   findwin watch <stop-file> <timeout-ms>
 * "ready" is printed first, once watching has begun. Until the stop file exists (or the
 * time-out passes) it polls the top-level windows: the first "QuorlinBoot" window found is
 * described (title, styles, rectangle, hit test at its centre), and every message box
 * captioned "Quorlin" is described (text, buttons, icon, owner) and then confirmed with OK,
 * as a user would. */
#include <windows.h>
#include <stdio.h>

#include "record.h"

typedef struct {
  HWND card;
  Record cardRecord;
  HWND boxes[16];
  int boxCount;
  Record boxRecords[16];
} Seen;

typedef struct {
  wchar_t text[1024];
  int buttons;
  int icons;
  int okButton;
} BoxParts;

static void Out(const char *text) {
  DWORD written;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, (DWORD)strlen(text), &written, NULL);
}

static void OutWide(const wchar_t *text, size_t len) {
  int bytes = WideCharToMultiByte(CP_UTF8, 0, text, (int)len, NULL, 0, NULL, NULL);
  char *utf8 = (char *)HeapAlloc(GetProcessHeap(), 0, bytes + 1);
  WideCharToMultiByte(CP_UTF8, 0, text, (int)len, utf8, bytes, NULL, NULL);
  utf8[bytes] = 0;
  Out(utf8);
  HeapFree(GetProcessHeap(), 0, utf8);
}

static BOOL CALLBACK OnBoxChild(HWND child, LPARAM param) {
  BoxParts *parts = (BoxParts *)param;
  wchar_t cls[64], text[1024];
  GetClassNameW(child, cls, 64);
  GetWindowTextW(child, text, 1024);
  LONG style = GetWindowLongW(child, GWL_STYLE);
  if (lstrcmpiW(cls, L"Button") == 0) {
    parts->buttons++;
    if (GetDlgCtrlID(child) == IDOK) parts->okButton = 1;
  } else if (lstrcmpiW(cls, L"Static") == 0) {
    if ((style & SS_TYPEMASK) == SS_ICON) parts->icons++;
    else if (text[0]) lstrcpynW(parts->text, text, 1024);
  }
  return TRUE;
}

static void DescribeCard(HWND hwnd, Record *r) {
  wchar_t title[256];
  RECT rect;
  GetWindowTextW(hwnd, title, 256);
  GetWindowRect(hwnd, &rect);
  POINT centre = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
  DWORD_PTR hit = 0;
  SendMessageTimeoutW(hwnd, WM_NCHITTEST, 0, MAKELPARAM(centre.x, centre.y), SMTO_ABORTIFHUNG,
                      2000, &hit);
  RecordBegin(r);
  RecordString(r, L"title", title);
  RecordNumber(r, L"style", (unsigned)GetWindowLongW(hwnd, GWL_STYLE));
  RecordNumber(r, L"exStyle", (unsigned)GetWindowLongW(hwnd, GWL_EXSTYLE));
  RecordNumber(r, L"left", rect.left);
  RecordNumber(r, L"top", rect.top);
  RecordNumber(r, L"width", rect.right - rect.left);
  RecordNumber(r, L"height", rect.bottom - rect.top);
  RecordNumber(r, L"hitTest", (long long)hit);
}

static void DescribeBox(HWND box, Record *r) {
  BoxParts parts = {{0}, 0, 0, 0};
  wchar_t ownerClass[64] = L"";
  EnumChildWindows(box, OnBoxChild, (LPARAM)&parts);
  HWND owner = GetWindow(box, GW_OWNER);
  if (owner) GetClassNameW(owner, ownerClass, 64);
  RecordBegin(r);
  RecordString(r, L"text", parts.text);
  RecordNumber(r, L"buttons", parts.buttons);
  RecordBool(r, L"okButton", parts.okButton);
  RecordNumber(r, L"icons", parts.icons);
  RecordString(r, L"ownerClass", ownerClass);
}

static BOOL CALLBACK OnTopWindow(HWND hwnd, LPARAM param) {
  Seen *seen = (Seen *)param;
  wchar_t cls[64], title[64];
  if (!IsWindowVisible(hwnd)) return TRUE;
  GetClassNameW(hwnd, cls, 64);
  GetWindowTextW(hwnd, title, 64);
  if (!seen->card && lstrcmpW(cls, L"QuorlinBoot") == 0) {
    seen->card = hwnd;
    DescribeCard(hwnd, &seen->cardRecord);
  } else if (lstrcmpW(cls, L"#32770") == 0 && lstrcmpW(title, L"Quorlin") == 0) {
    for (int i = 0; i < seen->boxCount; i++)
      if (seen->boxes[i] == hwnd) return TRUE;
    if (seen->boxCount == 16) return TRUE;
    /* The text control may come a moment after the box itself. */
    Sleep(100);
    seen->boxes[seen->boxCount] = hwnd;
    DescribeBox(hwnd, &seen->boxRecords[seen->boxCount++]);
    PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)GetDlgItem(hwnd, IDOK));
  }
  return TRUE;
}

static int Watch(const wchar_t *stopFile, DWORD timeout) {
  static Seen seen;
  DWORD start = GetTickCount();
  Out("ready\n");
  while (GetFileAttributesW(stopFile) == INVALID_FILE_ATTRIBUTES && GetTickCount() - start < timeout) {
    EnumWindows(OnTopWindow, (LPARAM)&seen);
    Sleep(10);
  }
  Out("{\"card\":");
  if (seen.card) {
    OutWide(seen.cardRecord.text, seen.cardRecord.len);
    Out("}");
  } else {
    Out("null");
  }
  Out(",\"boxes\":[");
  for (int i = 0; i < seen.boxCount; i++) {
    if (i) Out(",");
    OutWide(seen.boxRecords[i].text, seen.boxRecords[i].len);
    Out("}");
  }
  Out("]}\n");
  return 0;
}

int wmain(int argc, wchar_t **argv) {
  if (argc == 4 && wcscmp(argv[1], L"watch") == 0) return Watch(argv[2], (DWORD)_wtoi(argv[3]));
  Out("usage: findwin watch <stop-file> <timeout-ms>\n");
  return 2;
}
