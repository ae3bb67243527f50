#pragma once

#include <QIcon>
#include <QPixmap>

// The program's own small pictures, drawn in code so that no image files are needed.
QPixmap exclamationPicture(); // red exclamation mark, 32 x 90
QIcon programIcon();          // 32 x 32 telephone system
QIcon printerIcon();          // tool button of "Drucken"
