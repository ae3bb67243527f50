#pragma once

// While it lives, every write of a file save fails as on a full disk.
class FailingWrites {
public:
    FailingWrites();
    ~FailingWrites();
};
