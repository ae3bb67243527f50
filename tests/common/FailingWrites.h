#pragma once

#include "app/SaveCalls.h"

#include <cerrno>
#include <unistd.h>
#include <utility>

// While it lives, file saves write through `call` instead of write(2).
class SaveWriteCall {
public:
    explicit SaveWriteCall(TSaveWriteCall call) { SetSaveWriteCall(call); }
    ~SaveWriteCall() { SetSaveWriteCall(nullptr); }
    SaveWriteCall(const SaveWriteCall&) = delete;
    SaveWriteCall& operator=(const SaveWriteCall&) = delete;
};

// While it lives, every write of a file save fails as on a full disk.
struct FailingWrites : SaveWriteCall {
    FailingWrites()
        : SaveWriteCall([](int, const void*, size_t) -> ssize_t {
              errno = ENOSPC;
              return -1;
          }) {}
};

// While it lives, a save's first write stores half its bytes, later ones fail: a disk filling up.
struct TornWrites : SaveWriteCall {
    TornWrites()
        : SaveWriteCall([](int fd, const void* data, size_t size) -> ssize_t {
              errno = ENOSPC;
              return std::exchange(torn, true) ? -1 : ::write(fd, data, size / 2);
          }) {
        torn = false;
    }
    static inline bool torn = false;
};

// While it lives, counts the writes of file saves; a small file is saved in one write.
struct CountedWrites : SaveWriteCall {
    CountedWrites()
        : SaveWriteCall([](int fd, const void* data, size_t size) {
              ++writes;
              return ::write(fd, data, size);
          }) {
        writes = 0;
    }
    int count() const { return writes; }
    static inline int writes = 0;
};
