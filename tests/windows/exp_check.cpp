// The C runtime's exp on Windows is not glibc's: over the sigmoid's float
// arguments the two differ in the last place of some results. The network's
// outputs are the same on both only if that never changes a sigmoid's float.
// Linked with -Wl,--wrap=exp, this sees every exp the engine and the tests
// call. For each it finds the doubles either side of e^x and checks that the
// runtime's exp is one of them (faithful, as glibc's is). Where the sigmoid
// of the two is the same float, any faithful exp gives that float. Where it
// is not (a quotient on a halfway point between floats, as for nets near 0
// that are multiples of a power of two), the argument and the runtime's
// result go to exp-last-place/<process>.txt in the working directory, and
// exp_against_glibc.py checks on Linux that glibc's exp gives the same double
// for each.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <utility>

#include <process.h>

#include "rounding.h"

extern "C" double __real_exp(double);

namespace {

struct tally {
    long long calls = 0;
    long long not_nearest = 0;  // the runtime's exp is the farther neighbour of e^x
    long long unfaithful = 0;   // neither neighbour of e^x
    double first_unfaithful = 0;
    std::set<std::pair<std::uint64_t, std::uint64_t>> last_place;  // x and exp(x), as bits
} seen;

std::uint32_t bits(float v) {
    std::uint32_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}
std::uint64_t bits(double v) {
    std::uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

class exp_report : public ::testing::Environment {
public:
    void TearDown() override {
        std::cout << "exp: " << seen.calls << " calls; the runtime's is not the double nearest e^x in "
                  << seen.not_nearest << "; a sigmoid's float depends on its last place for "
                  << seen.last_place.size() << " arguments, left to exp_against_glibc.py\n";
        EXPECT_EQ(seen.unfaithful, 0)
            << "the runtime's exp is not faithful at x = " << std::hexfloat << seen.first_unfaithful;
        if (seen.last_place.empty()) return;
        std::filesystem::create_directories("exp-last-place");
        std::ofstream out("exp-last-place/" + std::to_string(_getpid()) + ".txt");
        out << std::hex;
        for (const auto& [x, e] : seen.last_place) out << x << ' ' << e << '\n';
        EXPECT_TRUE(out.flush()) << "could not write exp-last-place/";
    }
};

[[maybe_unused]] const auto* const registered = ::testing::AddGlobalTestEnvironment(new exp_report);

}  // namespace

extern "C" double __wrap_exp(double x) {
    const double e = __real_exp(x);
    if (x != x) return e;
    ++seen.calls;
    // e^x within 2^-63 of itself (the x87 unit's expl), and the doubles
    // either side of it.
    const long double exact = expl(static_cast<long double>(x));
    double below = static_cast<double>(exact);
    if (static_cast<long double>(below) > exact) below = std::nextafter(below, -INFINITY);
    const double above = static_cast<long double>(below) == exact ? below : std::nextafter(below, INFINITY);
    if (e != below && e != above) {
        if (seen.unfaithful++ == 0) seen.first_unfaithful = x;
    } else if (std::fabs(e - exact) > std::fabs((e == below ? above : below) - exact)) {
        ++seen.not_nearest;
    }
    if (bits(sigmoid_of_exp(below)) != bits(sigmoid_of_exp(above))) seen.last_place.emplace(bits(x), bits(e));
    return e;
}
