// What "Test" decides: which digit the network's outputs name.
#pragma once

#include "network.h"

// An output must exceed this to win at all.
inline constexpr real winner_threshold = 0.0001f;

// The first digit whose output is strictly the largest and above the
// threshold; -1 when no output exceeds it. A NaN never wins.
int winner(const network& nw);
