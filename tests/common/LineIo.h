#pragma once

#include <chrono>
#include <string>
#include <string_view>

// Raw reads and writes on a non-blocking descriptor of a pseudo-terminal.

// Closes `fd` if it is open and marks it closed (-1).
void closeLine(int& fd);

// Writes all of `bytes`, waiting while the line is full; false when the line failed.
bool writeAll(int fd, std::string_view bytes);
// Reads until `count` bytes came, `timeout` passed or the line hung up; returns what came.
std::string readUpTo(int fd, std::size_t count, std::chrono::milliseconds timeout);
