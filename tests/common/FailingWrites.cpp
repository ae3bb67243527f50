#include "FailingWrites.h"

#include "app/SafeSave.h"

#include <cerrno>

FailingWrites::FailingWrites() {
    SetSaveWriteCall([](int, const void*, size_t) -> ssize_t {
        errno = ENOSPC;
        return -1;
    });
}

FailingWrites::~FailingWrites() {
    SetSaveWriteCall(nullptr);
}
