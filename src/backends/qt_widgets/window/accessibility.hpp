#pragma once
// What assistive technology is told of the widgets that the program paints:
// the header band is a heading named by the title printed on it; the
// progress bar is a progress bar whose value is its filled share, named by
// the label that stands for it; the divider's caption is static text.

// Installs the accessible views of painted widgets, once for the program.
void InstallPaintedWidgetAccessibility();
