// Extended precision without the x87 unit: numbers with a 64-bit significand
// and the x87 unit's rounding (to nearest, ties to even), its special values
// and its choice of NaN, in exact integer arithmetic. Every CPU forms the
// same bits with it. It is the slow, sure path behind the operations of
// rounding.h, which take it only where double arithmetic cannot be trusted.
//
// The exponent is an int, wider than the x87 unit's 15 bits: nothing the
// engine forms from floats and doubles comes near either end of that range,
// so no result here is an extended subnormal or an extended overflow.
#pragma once

#include <cstdint>

struct extended {
    enum class kind : std::uint8_t { zero, finite, infinite, nan };
    kind what = kind::zero;
    bool negative = false;
    // finite: the value is significand * 2^exponent, bit 63 of significand
    // set. nan: the x87 unit's significand (bit 63 set, bit 62 the quiet bit).
    std::uint64_t significand = 0;
    int exponent = 0;

    static extended of(float v);   // exactly
    static extended of(double v);  // exactly; an int converts to double exactly
    // A finite value of the x87 unit, from its 64-bit significand and its
    // exponent, the power of two of the significand's top bit.
    static constexpr extended from_parts(bool negative, std::uint64_t significand, int top_bit_exponent) {
        return {kind::finite, negative, significand, top_bit_exponent - 63};
    }
};

// The nearest extended to a + b, a * b, a / b, as the x87 unit forms them.
extended extended_sum(const extended& a, const extended& b);
extended extended_product(const extended& a, const extended& b);
extended extended_quotient(const extended& a, const extended& b);

// -x; a NaN keeps its sign, as the x87 unit's subtraction leaves it.
inline extended negated(extended x) {
    if (x.what != extended::kind::nan) x.negative = !x.negative;
    return x;
}

// x rounded to the nearest float or double, as the x87 unit stores it.
float to_float(const extended& x);
double to_double(const extended& x);

// 0.001L: the extended nearest to 0.001, 0x83126E978D4FDF3B * 2^-73.
inline constexpr extended thousandth = extended::from_parts(false, 0x83126E978D4FDF3Bu, -10);
