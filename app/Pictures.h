#pragma once

#include <QIcon>
#include <QPixmap>

// The program's own pictures: the small ones drawn in code, the program icon rendered from
// its SVG at build time and compiled in.
QPixmap exclamationPicture(); // red exclamation mark, 32 x 90
QIcon programIcon();          // the telephone system, 16 to 256 pixels
QIcon printerIcon();          // tool button of "Drucken"
