// A stream of normally distributed numbers that is the same on every machine
// and with every standard library: a 64-bit Mersenne Twister (whose output the
// C++ standard fixes) turned into normal deviates by Marsaglia's polar method,
// written out here because std::normal_distribution differs between libraries.
//
// A new stream always starts from the same state, like a runtime library's
// generator that nobody seeds: every start of the program draws the same weights.
#pragma once

#include <cstdint>
#include <random>

#include "extended.h"

class random_stream {
public:
    random_stream() = default;
    explicit random_stream(std::uint64_t seed) : engine_(seed) {}

    // One draw from the normal distribution with the given mean and standard
    // deviation: mean + sd * z for a standard normal double z, formed in
    // extended precision and kept there.
    extended RandG(double mean, double sd);

private:
    double uniform();  // in [0, 1), 53 random bits

    std::mt19937_64 engine_{std::mt19937_64::default_seed};
    double spare_ = 0.0;  // the polar method makes deviates in pairs
    bool has_spare_ = false;
};
