#pragma once

#include <sys/stat.h>

// Gives the new file `to` what the old file `from` (whose status is `st`) has besides its
// content: owner, group, every extended attribute (its access list among them) and mode.
// False where one of them cannot be given; the new file must then not stand in for the old.
bool TakeOverFileAttributes(int from, int to, const struct stat& st);
