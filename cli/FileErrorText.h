#pragma once

#include <QString>

// Why a file or the output could not be written, in German words for the user: the causes a
// file meets (a full disk, a missing folder, no permission), the rest as the serial layer words
// them.
QString FileErrorText(int error);
