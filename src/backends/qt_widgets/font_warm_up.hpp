#pragma once
// Qt's font database is filled the first time a text is measured or drawn:
// fontconfig starts (its configuration files parsed, its font caches opened)
// and every installed font is listed, about 7 ms on the machine this was
// measured on, most of what the window costs once the libraries are loaded.
// None of it needs the window, so it is done on a second CPU while the window
// is built, the registry read and the header picture decoded.
//
// Waiting for it needs nothing of the callers: every function of
// QFontDatabase is thread-safe, the filling holds the database's lock, and a
// text measured meanwhile waits on that lock (a text measured before the
// filling began fills the database itself, and the filling then finds it
// full). The thread starts once Qt's application object is made, as that
// sets the locale and lets the window system's plug-in take its start-up
// token out of the environment: fontconfig reads both as it starts, and
// neither may change under it. Nothing in the program changes them later.
//
// Where the program may use one CPU only, nothing is started: the two would
// take turns. A limit on CPU time (a cgroup's cpu.max) is not seen; there the
// filling only moves, it costs no more. Both functions are for the program's
// main thread.

// Fills Qt's font database on another CPU than this one, at most once. Qt's
// application object must exist.
void StartFontsOnSecondCpu();

// Returns once the filling has ended, or at once when none was started. The
// program calls it before its window shows (and so before it starts other
// programs) and before Qt's application object goes; exit() calls it too.
void WaitForFonts();
