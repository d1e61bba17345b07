// The skin: the window's shape, the button, highlight and progress-bar
// pictures placed by Setup.ini, and the composed screen they make.
#pragma once

// Runs once after the window is shown: sets the mode from the uninstall
// record, shapes the window, loads and places the pictures, draws the screen.
void SetUpSkin();

// screenSurface := the base picture with the three buttons on it; then drawn.
void ComposeScreen();
