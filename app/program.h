// The frame of the process: start-up, the message loop and the end.
#pragma once

#include "app/main_window.h"

namespace cc {

// Keeps the process from loading libraries from its own folder or the current
// directory: only the system directory is searched from here on.
void RestrictLibrarySearch();

// The settings of the program's window: its events bound to their handlers.
MainWindowSettings StartWindowSettings();

int ProgramMain();

// The whole run with the given window settings; ProgramMain's body.
int RunProgram(const MainWindowSettings& settings);

// Creates the window, raises its created event and shows it; a window that
// cannot be made is a run-time error.
void LoadStartWindow(MainWindow& window, const MainWindowSettings& settings);

void RunMessageLoop(MainWindow& window);

// The handler of a press on the legend: it does nothing and gives no result.
std::optional<bool> HandleLegendMouseDown(int32_t x, int32_t y, int32_t keys);

}  // namespace cc
