// The sample product: one window that says which program it is. It needs its companion library
// (for the text) and shows the first line of its data file, so a test can see that all three
// members of the archive arrived together.
#include <windows.h>

#include "payload/sample/core.h"

namespace {

wchar_t data_line[256];

// The first line of "data" next to the program, as UTF-8.
void ReadDataLine() {
  wchar_t path[MAX_PATH];
  const DWORD len = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (len == 0 || len >= MAX_PATH) return;
  wchar_t* slash = path + len;
  while (slash > path && slash[-1] != L'\\') --slash;
  if (slash - path + 5 > MAX_PATH) return;
  lstrcpyW(slash, L"data");
  HANDLE file =
      CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  char bytes[255];
  DWORD got = 0;
  const BOOL ok = ReadFile(file, bytes, sizeof bytes, &got, nullptr);
  CloseHandle(file);
  if (!ok) return;
  DWORD end = 0;
  while (end < got && bytes[end] != '\r' && bytes[end] != '\n') ++end;
  const int n = MultiByteToWideChar(CP_UTF8, 0, bytes, int(end), data_line, 255);
  data_line[n > 0 ? n : 0] = L'\0';
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      RECT area;
      GetClientRect(window, &area);
      InflateRect(&area, -16, -16);
      SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
      SetBkMode(dc, TRANSPARENT);
      DrawTextW(dc, VorluneGreeting(data_line), -1, &area, DT_LEFT | DT_WORDBREAK);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wparam, lparam);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  ReadDataLine();
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  window_class.lpszClassName = L"VorlunePanel";
  if (!RegisterClassW(&window_class)) return 1;
  HWND window =
      CreateWindowExW(0, window_class.lpszClassName, VorluneProductName(), WS_OVERLAPPEDWINDOW,
                      CW_USEDEFAULT, CW_USEDEFAULT, 420, 200, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  ShowWindow(window, show);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return int(message.wParam);
}
