#pragma once
// Fontconfig's start (its configuration files parsed, its font caches
// opened) takes about 6 ms: most of what the window costs once the
// libraries are loaded. It needs nothing of the window, so it runs on a
// second CPU while Qt starts, the window is built, the registry is read and
// the header picture decoded, and the first code that measures or draws a
// text waits for it.
//
// Fontconfig may be started from two threads at once (each then does the
// whole of it and one result is dropped), so a text measured without waiting
// is still right, only no sooner. Where the program may use one CPU only,
// nothing is started: the two would only take turns.
//
// Both functions are for the program's main thread.

// Starts fontconfig on another CPU than this one, once.
void StartFontsOnSecondCpu();

// Returns once fontconfig has started, or at once when it was never started
// here. The program calls it before its first text and before it ends.
void WaitForFonts();
