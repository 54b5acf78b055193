// The operations of rounding.h against the x87 unit itself: on x86-64 a long
// double is its extended precision, so the plain expression is the answer.
// Each operation is checked twice, as the engine calls it (the double path
// with its check) and on its exact path alone, over the cases where rounding
// twice goes wrong: ties and near ties at the 64-bit and the 24-bit rounding
// points, exponent gaps from 0 to beyond 150, subnormals, zeros, infinities,
// NaNs, and millions of random operands. A failure prints them in hex.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <sstream>
#include <random>

#include "network.h"
#include "rounding.h"

static_assert(LDBL_MANT_DIG == 64, "this test needs the x87 unit's long double");

namespace {

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
float float_of(std::uint32_t b) {
    float v;
    std::memcpy(&v, &b, sizeof v);
    return v;
}

// What the x87 unit forms, instruction by instruction: written as C++, GCC
// would form some of these in SSE arithmetic, which is allowed to round
// alike but picks other NaNs.
long double add(long double a, long double b) {
    long double r;
    asm("fadd %2, %0" : "=t"(r) : "0"(a), "f"(b));
    return r;
}
long double subtract(long double a, long double b) {
    long double r;
    asm("fsub %2, %0" : "=t"(r) : "0"(a), "f"(b));
    return r;
}
long double multiply(long double a, long double b) {
    long double r;
    asm("fmul %2, %0" : "=t"(r) : "0"(a), "f"(b));
    return r;
}
long double divide(long double a, long double b) {
    long double r;
    asm("fdiv %2, %0" : "=t"(r) : "0"(a), "f"(b));
    return r;
}
float x87_step(float s, float w, double x) { return static_cast<float>(add(s, multiply(w, x))); }
float x87_sum(float a, float b) { return static_cast<float>(add(a, b)); }
float x87_difference(float a, float b) { return static_cast<float>(subtract(a, b)); }
float x87_product(double a, float b) { return static_cast<float>(multiply(a, b)); }
float x87_sigmoid(double e) { return static_cast<float>(divide(1.0L, add(1.0L, e))); }
double x87_wide_difference(float a, float b) { return static_cast<double>(subtract(a, b)); }
long double x87_normal(double mean, double sd, double z) { return add(mean, multiply(sd, z)); }

long double as_long_double(const extended& v) {
    switch (v.what) {
        case extended::kind::zero: return v.negative ? -0.0L : 0.0L;
        case extended::kind::infinite: return v.negative ? -INFINITY : INFINITY;
        case extended::kind::nan: {
            long double n = 0;
            const std::uint16_t top = 0x7FFF | (v.negative ? 0x8000 : 0);
            std::memcpy(&n, &v.significand, 8);
            std::memcpy(reinterpret_cast<char*>(&n) + 8, &top, 2);
            return n;
        }
        case extended::kind::finite: break;
    }
    return std::ldexp(static_cast<long double>(v.significand), v.exponent) * (v.negative ? -1 : 1);
}

// Operands that put the exact result on or next to a rounding point:
// significands of few bits or of all ones, at chosen exponents, and the
// special values.
struct operands {
    std::mt19937_64 random{20240611};

    int between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); }
    // An exponent gap between two terms: half the time one that puts the
    // smaller term's bits at a rounding point (24 and 64 bits, from a float
    // or a 48-bit product), else any.
    int gap() {
        static constexpr int critical[] = {0,  1,  2,  23, 24, 25, 26, 39, 40,  41, 47,
                                           48, 49, 62, 63, 64, 65, 66, 88, 150, 151};
        if (random() & 1) return between(-160, 160);
        const int g = critical[between(0, 20)];
        return random() & 1 ? g : -g;
    }

    float significand() {
        static constexpr float patterns[] = {1.0f,
                                             1.5f,
                                             1.0f + 0x1p-23f,
                                             2.0f - 0x1p-23f,
                                             1.0f + 0x1p-12f,
                                             1.0f - 0x1p-24f + 0x1p-23f,
                                             1.25f + 0x1p-23f};
        const int k = between(0, 9);
        if (k < 7) return patterns[k];
        return 1.0f + static_cast<float>(random() >> 41) * 0x1p-23f;  // any
    }
    // A float of about 2^e (subnormal or rounded where e leaves the range).
    float near_power(int e) {
        const float v = std::ldexp(significand(), std::clamp(e, -160, 127));
        return random() & 1 ? -v : v;
    }
    float special() {
        static constexpr std::uint32_t kinds[] = {0x00000000u, 0x80000000u, 0x7F800000u, 0xFF800000u,
                                                  0x7FC00000u, 0xFFC00001u, 0x7F800001u, 0x7FA00000u,
                                                  0x00000001u, 0x807FFFFFu, 0x00800000u, 0x7F7FFFFFu};
        const std::uint32_t b = kinds[between(0, 11)];
        return b >= 0x7F800001u && b < 0x80000000u && (random() & 1) ? float_of(b | 0x3FF) : float_of(b);
    }
    float any_bits() { return float_of(static_cast<std::uint32_t>(random())); }
    // Mostly floats near a rounding point, now and then a special or random one.
    float pick(int e) {
        const int k = between(0, 19);
        return k == 0 ? special() : k == 1 ? any_bits() : near_power(e);
    }
};

// Counts what one kind of operation checked; says so at the end.
struct tally {
    const char* name;
    long checked = 0, failed = 0;
    bool agrees(bool same) {  // false for a failure to report (the first few only)
        ++checked;
        if (!same) ++failed;
        return same || failed > 5;
    }
    ~tally() { std::cout << "  " << name << ": " << checked << " operations checked\n"; }
};

}  // namespace

TEST(RoundingAgainstTheX87Unit, CasesWhereOtherRoundingsDiffer) {
    // s + w * x: double rounding gives 1 + 2^-22 here, the x87 unit 1 + 2^-23.
    EXPECT_EQ(running_sum_step(0x1.000002p+0f, 0x1.ffff8p-13f, 0x1.00004p-12f), 0x1.000002p+0f);
    // And 1 + 2^-22 here, where 113-bit arithmetic (arm64's long double) rounds to 1 + 2^-23.
    const float w = (1.0f - 0x1p-23f) * 0x1p-12f, x = (1.0f + 0x1p-23f) * 0x1p-12f;
    EXPECT_EQ(running_sum_step(0x1.000002p+0f, w, x), 0x1.000004p+0f);
    EXPECT_EQ(x87_step(0x1.000002p+0f, w, x), 0x1.000004p+0f);
    // The initial weights' scaling constant is 0.001L exactly.
    EXPECT_EQ(as_long_double(thousandth), 0.001L);
}

TEST(RoundingAgainstTheX87Unit, EveryOperationGivesItsBits) {
    operands op;
    auto hex = [](auto... v) {
        std::ostringstream out;
        out << std::hexfloat;
        ((out << v << " "), ...);
        return out.str();
    };

    {  // s + w * x, at every exponent gap between s and the product
        tally t{"running-sum step"}, exact{"running-sum step, exact path"};
        for (int i = 0; i < 2000000; ++i) {
            const int gap = op.gap(), ew = op.between(-80, 60), ex = op.between(-80, 60);
            const float w = op.pick(ew);
            const double x = i % 16 == 0
                                 ? static_cast<double>(static_cast<std::int32_t>(op.random()))  // a cell
                                 : op.pick(ex);
            const float s = op.pick(ew + ex + gap);
            const float expected = x87_step(s, w, x);
            if (!t.agrees(bits(running_sum_step(s, w, x)) == bits(expected))) ADD_FAILURE() << hex(s, w, x);
            if (!exact.agrees(bits(rounding::exact_step(s, w, x)) == bits(expected)))
                ADD_FAILURE() << hex(s, w, x);
        }
        EXPECT_EQ(t.failed + exact.failed, 0);
    }
    {  // a + b, a - b, a * b of floats (and of a cell and a float)
        tally t{"sum, difference, product"};
        for (int i = 0; i < 1000000; ++i) {
            const int e = op.between(-150, 127);
            const float a = op.pick(e), b = op.pick(e - op.gap());
            const double cell =
                static_cast<double>(static_cast<std::int32_t>(op.random() >> op.between(0, 63)));
            bool same = bits(rounded_sum(a, b)) == bits(x87_sum(a, b)) &&
                        bits(rounding::exact_sum(a, b)) == bits(x87_sum(a, b)) &&
                        bits(rounded_difference(a, b)) == bits(x87_difference(a, b)) &&
                        bits(rounding::exact_difference(a, b)) == bits(x87_difference(a, b)) &&
                        bits(rounded_product(a, b)) == bits(x87_product(a, b)) &&
                        bits(rounded_product(cell, b)) == bits(x87_product(cell, b));
            if (!t.agrees(same)) ADD_FAILURE() << hex(a, b, cell);
        }
        EXPECT_EQ(t.failed, 0);
    }
    {  // 1 / (1 + e): e whose quotient lies on or beside a halfway point between floats,
       // and e of every size, special ones among them
        tally t{"sigmoid quotient"};
        for (int i = 0; i < 1000000; ++i) {
            double e;
            if (i % 4 == 0) {
                const double midpoint = (1.0 + static_cast<double>(op.random() >> 40) * 0x1p-24 + 0x1p-25) *
                                        std::ldexp(1.0, -op.between(1, 126));
                e = std::nextafter(1.0 / midpoint - 1.0, op.random() & 1 ? INFINITY : -INFINITY);
                for (int steps = op.between(0, 3); steps > 0; --steps) e = std::nextafter(e, INFINITY);
            } else if (i % 4 == 1) {
                e = std::exp(std::uniform_real_distribution<double>(-750, 710)(op.random));
            } else if (i % 4 == 2) {
                e = static_cast<double>(op.pick(op.between(-150, 127)));
            } else {
                const std::uint64_t b = op.random();
                std::memcpy(&e, &b, sizeof e);
            }
            const float expected = x87_sigmoid(e);
            if (!t.agrees(bits(sigmoid_of_exp(e)) == bits(expected) &&
                          bits(rounding::exact_sigmoid(e)) == bits(expected)))
                ADD_FAILURE() << hex(e);
        }
        EXPECT_EQ(t.failed, 0);
    }
    {  // target - output passed on as a double, at every exponent gap
        tally t{"error difference"};
        for (int i = 0; i < 1000000; ++i) {
            const int e = op.between(-150, 127);
            const float a = i % 2 ? static_cast<float>(i % 4 == 1) : op.pick(e),
                        b = op.pick(e - op.between(-100, 100));
            const double expected = x87_wide_difference(a, b);
            if (!t.agrees(bits(wide_difference(a, b)) == bits(expected) &&
                          bits(rounding::exact_wide_difference(a, b)) == bits(expected)))
                ADD_FAILURE() << hex(a, b);
        }
        EXPECT_EQ(t.failed, 0);
    }
    {  // mean + sd * z in extended, and the initial weight from it
        tally t{"normal draw and initial weight"};
        // 119537721 * 77158673929 = 2^63 + 1: with mean = 2^m the product's top
        // bit lies where the sum rounds, its last one just below the 64 bits
        // the sum keeps. A tie but for that bit.
        constexpr double tie_sd = 119537721.0, tie_z = 77158673929.0;
        for (int i = 0; i < 1000000; ++i) {
            double z =
                std::ldexp(std::uniform_real_distribution<double>(-1, 1)(op.random), -op.between(0, 70));
            double mean =
                i % 2 ? 10.0 : std::ldexp(static_cast<double>(op.random() >> 11), -op.between(40, 60));
            double sd = i % 2 ? 1.0 : std::uniform_real_distribution<double>(0, 4)(op.random);
            if (i % 8 == 2) {
                const int m = op.between(-20, 20);
                mean = std::ldexp(op.random() & 1 ? 1.0 : 1.5, m);
                sd = tie_sd;
                z = std::ldexp(op.random() & 1 ? tie_z : -tie_z, m - 127 - op.between(-1, 1));
                for (int steps = op.between(-1, 1); steps != 0; steps -= steps > 0 ? 1 : -1)
                    z = std::nextafter(z, steps > 0 ? INFINITY : -INFINITY);
            }
            const extended g =
                extended_sum(extended::of(mean), extended_product(extended::of(sd), extended::of(z)));
            const long double expected = x87_normal(mean, sd, z);
            const bool same =
                as_long_double(g) == expected && bits(to_float(extended_product(g, thousandth))) ==
                                                     bits(static_cast<float>(multiply(expected, 0.001L)));
            if (!t.agrees(same)) ADD_FAILURE() << hex(mean, sd, z);
        }
        EXPECT_EQ(t.failed, 0);
    }
}
