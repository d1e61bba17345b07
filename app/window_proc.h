// The main window's procedure: painting, the highlights, dragging by the
// title rectangle, the buttons' commands, and WM_DESTROY's shutdown (app/shutdown.h).
#pragma once

#include <windows.h>

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
