#include "FailingWrites.h"

#include "app/SafeSave.h"

#include <cerrno>
#include <unistd.h>

namespace {
bool torn = false;
int writes = 0;
} // namespace

FailingWrites::FailingWrites() {
    SetSaveWriteCall([](int, const void*, size_t) -> ssize_t {
        errno = ENOSPC;
        return -1;
    });
}

FailingWrites::~FailingWrites() {
    SetSaveWriteCall(nullptr);
}

TornWrites::TornWrites() {
    torn = false;
    SetSaveWriteCall([](int fd, const void* data, size_t size) -> ssize_t {
        errno = ENOSPC;
        if (torn)
            return -1;
        torn = true;
        return ::write(fd, data, size / 2);
    });
}

TornWrites::~TornWrites() {
    SetSaveWriteCall(nullptr);
}

CountedWrites::CountedWrites() {
    writes = 0;
    SetSaveWriteCall([](int fd, const void* data, size_t size) -> ssize_t {
        ++writes;
        return ::write(fd, data, size);
    });
}

CountedWrites::~CountedWrites() {
    SetSaveWriteCall(nullptr);
}

int CountedWrites::count() const {
    return writes;
}
