/* Watches the desktop while the bootstrapper runs and reports what the user would have seen,
 * as one JSON object on standard output:
 *   findwin watch <stop-file> <timeout-ms>
 * "ready" is printed first, once watching has begun. Until the stop file exists (or the
 * time-out passes) it polls the top-level windows: the first "QuorlinBoot" window found is
 * described (title, styles, rectangle, hit test at its centre), and every message box
 * captioned "Quorlin" is described (text, buttons, icon, owner) and then confirmed with OK,
 * as a user would. */
#include <windows.h>

#include <algorithm>
#include <vector>

#include "record.h"

struct Seen {
  std::wstring cardRecord = L"null";
  std::vector<HWND> boxes;
  std::wstring boxRecords;
};

struct BoxParts {
  wchar_t text[1024] = L"";
  int buttons = 0, icons = 0;
  bool okButton = false;
};

static void Out(const std::wstring &text) {
  const std::string utf8 = Utf8(text);
  DWORD written;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), (DWORD)utf8.size(), &written, NULL);
}

static BOOL CALLBACK OnBoxChild(HWND child, LPARAM param) {
  BoxParts *parts = (BoxParts *)param;
  wchar_t cls[64], text[1024];
  GetClassNameW(child, cls, 64);
  GetWindowTextW(child, text, 1024);
  if (lstrcmpiW(cls, L"Button") == 0) {
    parts->buttons++;
    parts->okButton |= GetDlgCtrlID(child) == IDOK;
  } else if (lstrcmpiW(cls, L"Static") == 0) {
    if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) parts->icons++;
    else if (text[0]) lstrcpynW(parts->text, text, 1024);
  }
  return TRUE;
}

static std::wstring DescribeCard(HWND hwnd) {
  wchar_t title[256];
  RECT rect;
  GetWindowTextW(hwnd, title, 256);
  GetWindowRect(hwnd, &rect);
  DWORD_PTR hit = 0;
  SendMessageTimeoutW(hwnd, WM_NCHITTEST, 0, MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2),
                      SMTO_ABORTIFHUNG, 2000, &hit);
  return Object({{L"title", Json(title)}, {L"style", std::to_wstring((unsigned)GetWindowLongW(hwnd, GWL_STYLE))},
                 {L"exStyle", std::to_wstring((unsigned)GetWindowLongW(hwnd, GWL_EXSTYLE))},
                 {L"left", std::to_wstring(rect.left)}, {L"top", std::to_wstring(rect.top)},
                 {L"width", std::to_wstring(rect.right - rect.left)},
                 {L"height", std::to_wstring(rect.bottom - rect.top)}, {L"hitTest", std::to_wstring(hit)}});
}

static std::wstring DescribeBox(HWND box) {
  BoxParts parts;
  wchar_t ownerClass[64] = L"";
  EnumChildWindows(box, OnBoxChild, (LPARAM)&parts);
  HWND owner = GetWindow(box, GW_OWNER);
  if (owner) GetClassNameW(owner, ownerClass, 64);
  return Object({{L"text", Json(parts.text)}, {L"buttons", std::to_wstring(parts.buttons)},
                 {L"okButton", parts.okButton ? L"true" : L"false"}, {L"icons", std::to_wstring(parts.icons)},
                 {L"ownerClass", Json(ownerClass)}});
}

static BOOL CALLBACK OnTopWindow(HWND hwnd, LPARAM param) {
  Seen *seen = (Seen *)param;
  wchar_t cls[64], title[64];
  if (!IsWindowVisible(hwnd)) return TRUE;
  GetClassNameW(hwnd, cls, 64);
  GetWindowTextW(hwnd, title, 64);
  if (seen->cardRecord == L"null" && lstrcmpW(cls, L"QuorlinBoot") == 0) {
    seen->cardRecord = DescribeCard(hwnd);
  } else if (lstrcmpW(cls, L"#32770") == 0 && lstrcmpW(title, L"Quorlin") == 0) {
    if (std::find(seen->boxes.begin(), seen->boxes.end(), hwnd) != seen->boxes.end()) return TRUE;
    /* The text control may come a moment after the box itself. */
    Sleep(100);
    seen->boxes.push_back(hwnd);
    seen->boxRecords += (seen->boxRecords.empty() ? L"" : L",") + DescribeBox(hwnd);
    PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)GetDlgItem(hwnd, IDOK));
  }
  return TRUE;
}

int wmain(int argc, wchar_t **argv) {
  if (argc != 4 || wcscmp(argv[1], L"watch") != 0) {
    Out(L"usage: findwin watch <stop-file> <timeout-ms>\n");
    return 2;
  }
  Seen seen;
  const DWORD start = GetTickCount(), timeout = (DWORD)_wtoi(argv[3]);
  Out(L"ready\n");
  while (GetFileAttributesW(argv[2]) == INVALID_FILE_ATTRIBUTES && GetTickCount() - start < timeout) {
    EnumWindows(OnTopWindow, (LPARAM)&seen);
    Sleep(10);
  }
  Out(L"{\"card\":" + seen.cardRecord + L",\"boxes\":[" + seen.boxRecords + L"]}\n");
  return 0;
}
