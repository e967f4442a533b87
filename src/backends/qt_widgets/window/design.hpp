#pragma once
// What every window of the program shares: the twips the layout is drawn
// in, the dialog font it was drawn for, its colours, texts and artwork.
#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QString>
#include <cstdint>
#include <string>

#include "platform/resources.hpp"

// Pixels per twip at the logical DPI of the primary screen (1/15 at 96 DPI).
double PixelsPerTwip();

// A text of the program as a widget shows it (CR LF line breaks as new lines).
QString ToDisplay(const std::string& text);

// The dialog font the layout was designed for: 8 points, lines of about
// 200 twips, so the texts fill their labels as intended.
QFont DesignFont();

// A colour given as the program gives it: blue, green, red from the top byte down.
QColor FromBgr(std::uint32_t bgr);

// The picture of a resource; a null pixmap when there is none.
QPixmap ResourcePixmap(IResources& resources, const std::string& name, const std::string& type);
