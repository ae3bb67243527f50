#pragma once

#include "app/SafeSave.h"

#include <sys/types.h>

// The system calls of a save on Linux that a test may replace, to make a save fail or die at
// that step.

// The call that writes the bytes; a test may put in one that fails. nullptr: write(2).
using TSaveWriteCall = ssize_t (*)(int fd, const void* data, size_t size);
void SetSaveWriteCall(TSaveWriteCall call);
// The call that puts the named new file in the target's place; a test may put in one that
// dies there. nullptr: renameat(2).
using TSaveRenameCall = int (*)(int fromDir, const char* from, int toDir, const char* to);
void SetSaveRenameCall(TSaveRenameCall call);
