// The main window's procedure: painting, and the shutdown sequence that
// releases the application state once and ends the message loop.
#pragma once

#include <windows.h>

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Waits for the install workers, releases every object of the application
// state exactly once and posts the quit message. Later calls do nothing.
void RunShutdownSequence();

// True once the shutdown sequence has run. Code that waited in a modal loop
// (a message box, the folder chooser) checks it before touching the state.
bool ShutdownHasRun();
