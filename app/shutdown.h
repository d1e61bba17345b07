// The end of the program. WM_DESTROY runs the shutdown sequence: the install's
// workers are stopped and waited for, and the quit message is posted. The
// application state is released afterwards, once the message loop has ended,
// so no object is ever freed while a command, a message box or the folder
// chooser that uses it is still on the stack.
#pragma once

// Stops and waits for the install's workers (answering any question one has
// open, so that the wait cannot hang) and posts the quit message. From then
// on input is ignored and nothing is painted. Later calls do nothing.
void RunShutdownSequence();

// True once the shutdown sequence has run. Code that waited in a modal loop
// (a message box, the folder chooser) checks it before going on.
bool ShutdownHasRun();

// Releases every object of the application state exactly once, in the
// shutdown order. Called after the message loop has ended; runs the shutdown
// sequence first if nothing did.
void ReleaseApplicationState();
