#pragma once

#include <QString>

// What a system error number means, in German words for the user (never the bare number):
// one wording for the program's device, file and output messages.
QString SystemErrorText(int error);

// The same for a file or the output, where a folder in the way is no device that was expected.
QString FileErrorText(int error);
