// What the framework needs from a window system. The win32 backend forwards
// to user32; the headless backend keeps the windows in memory.
#pragma once
#include <string>
#include <vector>

#include "framework/afx.h"

namespace backend {

LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
BOOL EnableWindow(HWND hwnd, BOOL enable);
BOOL IsWindowEnabled(HWND hwnd);
void SetFocus(HWND hwnd);
BOOL IsIconic(HWND hwnd);
void GetClientRect(HWND hwnd, RECT* rect);
HWND GetDlgItem(HWND dialog, int id);
int MessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
// The same with UTF-8 texts.
void SetWindowTextUtf8(HWND hwnd, LPCSTR text);
int MessageBoxUtf8(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
int AddStringUtf8(HWND listBox, LPCSTR item);
std::string AnsiToUtf8(const std::string& text);
std::vector<HWND> ChildWindows(HWND parent);

// Creates the dialog from its template, runs OnInitDialog and then the modal
// loop until EndDialog; returns the EndDialog result, or -1.
INT_PTR RunModal(CDialog& dialog, HWND parent);
void EndDialog(HWND dialog, int result);

HICON LoadIcon(HINSTANCE instance, UINT resourceId);
HDC BeginPaint(HWND hwnd, void* paintRecord);
void EndPaint(HWND hwnd, void* paintRecord);
BOOL DrawIcon(HDC hdc, int x, int y, HICON icon);
int GetSystemMetrics(int index);

}  // namespace backend
