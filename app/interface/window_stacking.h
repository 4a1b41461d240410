#pragma once

class QWindow;

namespace quillory {

// Keeps a window of ours above the window the user works in, without taking the keyboard: on top
// of ordinary windows, and transient for the active window, so that the window manager stacks it
// above that window even when it covers the screen (a focused full-screen window sits in a layer
// above every "keep above" window). `on` false drops both hints again. Does nothing off X11.
void floatAboveActiveWindow(QWindow& window, bool on);

// The transient half of floatAboveActiveWindow, for a window that stays on top anyway: stacked
// with the active window (`on` true) or on its own again.
void followActiveWindow(QWindow& window, bool on);

// Keeps a window out of the taskbar and the pager (`out` true) or lets it in again, so that a
// drop-down panel gives the application no taskbar entry of its own. Does nothing off X11.
void keepOutOfTaskbar(QWindow& window, bool out);

}  // namespace quillory
