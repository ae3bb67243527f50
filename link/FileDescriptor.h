#pragma once

#include <unistd.h>

// An open file descriptor, closed when it goes out of scope.
class TFileDescriptor {
public:
    explicit TFileDescriptor(int fd) : fd(fd) {}
    ~TFileDescriptor() {
        if (fd >= 0)
            ::close(fd);
    }
    TFileDescriptor(const TFileDescriptor&) = delete;
    TFileDescriptor& operator=(const TFileDescriptor&) = delete;
    const int fd;
};
