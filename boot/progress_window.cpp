#include "progress_window.h"

#include "card.h"
#include "dpi.h"
#include "progress.h"
#include "texts.h"

HWND g_window = nullptr;

namespace {

constexpr wchar_t kClassName[] = L"QuorlinBoot";

// Created once; the end of the process releases them.
HFONT g_title_font = nullptr;
HFONT g_body_font = nullptr;

COLORREF ToColorRef(uint32_t rgb) { return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

RECT ToRect(const CardRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

HFONT CreateCardFont(int height, int weight) {
  return CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Segoe UI");
}

void DrawLine(HDC dc, HFONT font, uint32_t color, const wchar_t* text, const CardRect& where, UINT format) {
  SelectObject(dc, font);
  SetTextColor(dc, ToColorRef(color));
  RECT rect = ToRect(where);
  DrawTextW(dc, text, -1, &rect, format);
}

void OnPaint(HWND window) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  RECT client;
  GetClientRect(window, &client);
  const int width = client.right;
  const int height = client.bottom;

  HDC memory = CreateCompatibleDC(dc);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
  HGDIOBJ old_bitmap = SelectObject(memory, bitmap);

  wchar_t status[kStatusCapacity];
  CopyStatusText(&g_boot_progress, status);
  PaintCard(memory, width, height, WindowDpi(window), g_boot_progress.permille.load(), status);

  BitBlt(dc, 0, 0, width, height, memory, 0, 0, SRCCOPY);
  SelectObject(memory, old_bitmap);
  DeleteObject(bitmap);
  DeleteDC(memory);
  EndPaint(window, &ps);
}

void OnFinish(HWND window) {
  if (g_boot_progress.error[0] != L'\0') {
    MessageBoxW(window, g_boot_progress.error, kProductName, MB_OK | MB_ICONERROR);
  }
  DestroyWindow(window);
}

LRESULT CALLBACK ProgressWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_PAINT:
      OnPaint(window);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // every paint covers the whole client area
    case WM_NCHITTEST: {
      // Every client point acts as caption, so the card drags from anywhere.
      LRESULT hit = DefWindowProcW(window, message, wparam, lparam);
      return hit == HTCLIENT ? HTCAPTION : hit;
    }
    case WM_BOOT_REFRESH:
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_BOOT_FINISH:
      OnFinish(window);
      return 0;
    default:
      return DefWindowProcW(window, message, wparam, lparam);
  }
}

}  // namespace

void PaintCard(HDC dc, int width, int height, int dpi, int32_t permille, const wchar_t* status) {
  CardLayout card;
  LayoutCard(&card, width, height, dpi, permille);
  for (int i = 0; i < card.fill_count; ++i) {
    HBRUSH brush = CreateSolidBrush(ToColorRef(card.fills[i].color));
    RECT rect = ToRect(card.fills[i].rect);
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
  }
  SetBkMode(dc, TRANSPARENT);
  DrawLine(dc, g_title_font, kColorTitle, kProductName, card.title, DT_SINGLELINE | DT_VCENTER);
  DrawLine(dc, g_body_font, kColorStatus, status, card.status, DT_SINGLELINE | DT_END_ELLIPSIS);
  DrawLine(dc, g_body_font, kColorFooter, kFooter, card.footer, DT_SINGLELINE);
}

bool CreateProgressWindow(HINSTANCE instance) {
  WNDCLASSW window_class = {};
  window_class.lpfnWndProc = ProgressWindowProc;
  window_class.hInstance = instance;
  window_class.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  window_class.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  window_class.lpszClassName = kClassName;
  // A failed registration shows as a failed window creation below.
  (void)RegisterClassW(&window_class);

  const int dpi = SystemDpi();
  const CardPlacement place = PlaceCard(dpi, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  g_window = CreateWindowExW(WS_EX_APPWINDOW, kClassName, kProductName, WS_POPUP | WS_VISIBLE, place.left,
                             place.top, place.width, place.height, nullptr, nullptr, instance, nullptr);
  // The fonts follow the system DPI the window was sized with, not the window's own.
  g_title_font = CreateCardFont(TitleFontHeight(dpi), FW_BOLD);
  g_body_font = CreateCardFont(BodyFontHeight(dpi), FW_NORMAL);
  return g_window != nullptr;
}

void SetStatus(const wchar_t* text, int32_t permille) {
  StoreStatusText(&g_boot_progress, text);
  if (permille >= 0) (void)g_boot_progress.permille.exchange(permille);
  if (g_window != nullptr) PostMessageW(g_window, WM_BOOT_REFRESH, 0, 0);
}

void FinishProgress() {
  if (g_window != nullptr) PostMessageW(g_window, WM_BOOT_FINISH, 0, 0);
}
