// How long the POSIX layer's WriteFile waits for the line to take a byte
// before it gives up with ERROR_SEM_TIMEOUT: a peer that stopped reading, or
// flow control held.
#pragma once

#include <chrono>

inline constexpr std::chrono::seconds writeStallLimit{30};

// Replaces the limit for the writes that start after the call; zero puts
// writeStallLimit back. Only tests shorten it, so that a stall ends in a
// moment instead of half a minute.
void setWriteStallLimit(std::chrono::milliseconds limit);
