#pragma once

// While it lives, every write of a file save fails as on a full disk.
class FailingWrites {
public:
    FailingWrites();
    ~FailingWrites();
};

// While it lives, a save's first write stores only half of its bytes and every later write
// fails: a disk that fills up in the middle of a write.
class TornWrites {
public:
    TornWrites();
    ~TornWrites();
};

// While it lives, counts the writes of file saves; a small file is saved in one write.
class CountedWrites {
public:
    CountedWrites();
    ~CountedWrites();
    int count() const;
};
