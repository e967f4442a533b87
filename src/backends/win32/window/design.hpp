#pragma once
// What every window of the Windows program shares: the twips the layout is
// drawn in at the screen's DPI, the dialog font it was drawn for, its
// window classes and its artwork.
#include <cstdint>
#include <string>

#include "backends/win32/prelude.hpp"
#include "platform/control.hpp"

// The DPI the program's windows are drawn at: the screen's at first, then
// that of the monitor the main window was last moved to.
int ScreenDpi();
void SetScreenDpi(int dpi);
// Pixels per twip at that DPI (1/15 at 96 DPI).
double PixelsPerTwip();
int TwipsToPixels(int twips, double pxPerTwip);
RECT PixelRect(const TwipsRect& rect, double pxPerTwip);

// The dialog font the layout was designed for, 8 points at ScreenDpi().
HFONT DialogFont();
// The dialog face at that size and ScreenDpi(); each is made once and kept
// for the program's life (the caller never deletes it).
HFONT DialogFontOfSize(int points);

// The width of a text in a font, in pixels.
double TextPixels(HFONT font, const std::wstring& text);

// The button caption with an access key: a caption that names none gets
// its first letter as one, so that Alt and that letter press it.
std::wstring ButtonText(const std::string& caption);

// The window classes of the program, registered once: the main window,
// the page frames (which hand their buttons' clicks and colours up to the
// window) and the picture boxes.
extern const wchar_t* const kMainWindowClass;
extern const wchar_t* const kErrorDialogClass;
extern const wchar_t* const kPanelClass;
extern const wchar_t* const kPictureClass;
void RegisterWindowClasses(WNDPROC mainProc, WNDPROC dialogProc, WNDPROC pictureProc);

// The program's icon resource of that name, at the size the system asks
// for (SM_CXICON or SM_CXSMICON); nullptr when there is none.
HICON ResourceIcon(const std::string& name, int systemMetric);
