#include "extended.h"

#include <cstring>

namespace {

__extension__ typedef unsigned __int128 u128;
using kind = extended::kind;

constexpr std::uint64_t top_bit = std::uint64_t{1} << 63;
constexpr std::uint64_t quiet_bit = std::uint64_t{1} << 62;

// What an invalid operation gives (inf - inf, 0 * inf, 0 / 0): the x87
// unit's "real indefinite", a negative quiet NaN with no payload.
constexpr extended indefinite{kind::nan, true, top_bit | quiet_bit, 0};

int leading_zeros(u128 m) {
    const auto high = static_cast<std::uint64_t>(m >> 64);
    return high ? __builtin_clzll(high) : 64 + __builtin_clzll(static_cast<std::uint64_t>(m));
}

// The nearest extended to m * 2^e, m > 0. Bits that an alignment shifted out
// must have left a 1 in bit 0 of m (the sticky bit), and bit 0 must lie at
// least two places below where the rounding falls, so that m stands for the
// exact value on every question the rounding asks.
extended rounded(bool negative, u128 m, int e) {
    const int shift = leading_zeros(m);
    m <<= shift;
    e -= shift;
    auto significand = static_cast<std::uint64_t>(m >> 64);
    const auto rest = static_cast<std::uint64_t>(m);
    if (rest > top_bit || (rest == top_bit && (significand & 1))) {
        if (++significand == 0) {  // carried out of the top: 2^64
            significand = top_bit;
            ++e;
        }
    }
    return {kind::finite, negative, significand, e + 64};
}

// A finite extended from an integer significand m and its power of two.
extended exact(bool negative, std::uint64_t m, int e) {
    if (m == 0) return {kind::zero, negative, 0, 0};
    const int shift = __builtin_clzll(m);
    return {kind::finite, negative, m << shift, e - shift};
}

// An IEEE NaN's payload, fraction_bits wide, as the x87 unit loads it:
// below the integer bit, quieted.
extended loaded_nan(bool negative, std::uint64_t fraction, int fraction_bits) {
    return {kind::nan, negative, top_bit | quiet_bit | (fraction << (63 - fraction_bits)), 0};
}

// The NaN an operation on a and b returns, one of them a NaN: the NaN alone,
// or of two the one with the larger significand, the positive one of two
// that differ only in sign.
extended nan_of(const extended& a, const extended& b) {
    if (a.what != kind::nan) return b;
    if (b.what != kind::nan) return a;
    if (a.significand != b.significand) return a.significand > b.significand ? a : b;
    return a.negative ? b : a;
}

// The bits of x rounded to an IEEE format with fraction_bits below its
// integer bit and the given bias (float or double).
std::uint64_t rounded_bits(const extended& x, int fraction_bits, int bias) {
    const std::uint64_t sign = std::uint64_t{x.negative} << (fraction_bits + (bias == 127 ? 8 : 11));
    const std::uint64_t infinity = std::uint64_t{bias == 127 ? 0xFFu : 0x7FFu} << fraction_bits;
    switch (x.what) {
        case kind::zero: return sign;
        case kind::infinite: return sign | infinity;
        case kind::nan: return sign | infinity | ((x.significand & ~top_bit) >> (63 - fraction_bits));
        case kind::finite: break;
    }
    // The power of two of the top bit, and how many of the 64 bits to drop:
    // those below the fraction, and more where the result is subnormal.
    const int top = x.exponent + 63;
    const int min_normal = 1 - bias;
    int drop = 63 - fraction_bits + (top < min_normal ? min_normal - top : 0);
    if (drop > 65) return sign;  // below half the smallest subnormal
    // Two guard places above bit 0, so that drop + 2 <= 127 bits move.
    const u128 m = static_cast<u128>(x.significand) << 2;
    drop += 2;
    std::uint64_t kept = static_cast<std::uint64_t>(m >> drop);
    const u128 rest = m & ((u128{1} << drop) - 1), half = u128{1} << (drop - 1);
    if (rest > half || (rest == half && (kept & 1))) ++kept;
    // kept holds the integer bit where normal: adding it to the biased
    // exponent less one carries a rounding up to 2^(fraction_bits + 1)
    // into the exponent, and a subnormal rounded up to the smallest normal.
    std::uint64_t bits =
        top < min_normal ? kept : (static_cast<std::uint64_t>(top + bias - 1) << fraction_bits) + kept;
    if (bits >= infinity) bits = infinity;  // overflow rounds to infinity
    return sign | bits;
}

}  // namespace

extended extended::of(float v) {
    std::uint32_t b;
    std::memcpy(&b, &v, sizeof b);
    const bool negative = b >> 31;
    const std::uint32_t field = (b >> 23) & 0xFF, fraction = b & 0x7FFFFF;
    if (field == 0xFF)
        return fraction ? loaded_nan(negative, fraction, 23) : extended{kind::infinite, negative, 0, 0};
    if (field == 0) return exact(negative, fraction, -149);
    return exact(negative, fraction | (1u << 23), static_cast<int>(field) - 150);
}

extended extended::of(double v) {
    std::uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    const bool negative = b >> 63;
    const std::uint64_t field = (b >> 52) & 0x7FF, fraction = b & ((std::uint64_t{1} << 52) - 1);
    if (field == 0x7FF)
        return fraction ? loaded_nan(negative, fraction, 52) : extended{kind::infinite, negative, 0, 0};
    if (field == 0) return exact(negative, fraction, -1074);
    return exact(negative, fraction | (std::uint64_t{1} << 52), static_cast<int>(field) - 1075);
}

extended extended_sum(const extended& a, const extended& b) {
    if (a.what == kind::nan || b.what == kind::nan) return nan_of(a, b);
    if (a.what == kind::infinite || b.what == kind::infinite) {
        if (a.what == kind::infinite && b.what == kind::infinite && a.negative != b.negative)
            return indefinite;
        return a.what == kind::infinite ? a : b;
    }
    if (b.what == kind::zero)
        return a.what == kind::zero ? extended{kind::zero, a.negative && b.negative, 0, 0} : a;
    if (a.what == kind::zero) return b;
    // big >= small in magnitude. big's significand goes to bits 126..63;
    // small's is shifted right by the exponent gap, what falls off bit 0
    // leaving a sticky 1 there.
    const bool a_bigger = a.exponent != b.exponent ? a.exponent > b.exponent : a.significand >= b.significand;
    const extended& big = a_bigger ? a : b;
    const extended& small = a_bigger ? b : a;
    const int gap = big.exponent - small.exponent;
    const u128 big_bits = static_cast<u128>(big.significand) << 63;
    u128 small_bits = static_cast<u128>(small.significand) << 63;
    if (gap >= 127) {
        small_bits = 1;
    } else if (gap > 0) {
        const bool lost = (small_bits & ((u128{1} << gap) - 1)) != 0;
        small_bits = (small_bits >> gap) | lost;
    }
    if (big.negative == small.negative)
        return rounded(big.negative, big_bits + small_bits, big.exponent - 63);
    const u128 difference = big_bits - small_bits;
    if (difference == 0) return {kind::zero, false, 0, 0};  // x - x is +0 when rounding to nearest
    return rounded(big.negative, difference, big.exponent - 63);
}

extended extended_product(const extended& a, const extended& b) {
    if (a.what == kind::nan || b.what == kind::nan) return nan_of(a, b);
    const bool negative = a.negative != b.negative;
    if (a.what == kind::infinite || b.what == kind::infinite) {
        if (a.what == kind::zero || b.what == kind::zero) return indefinite;
        return {kind::infinite, negative, 0, 0};
    }
    if (a.what == kind::zero || b.what == kind::zero) return {kind::zero, negative, 0, 0};
    return rounded(negative, static_cast<u128>(a.significand) * b.significand, a.exponent + b.exponent);
}

extended extended_quotient(const extended& a, const extended& b) {
    if (a.what == kind::nan || b.what == kind::nan) return nan_of(a, b);
    const bool negative = a.negative != b.negative;
    if (a.what == kind::infinite)
        return b.what == kind::infinite ? indefinite : extended{kind::infinite, negative, 0, 0};
    if (b.what == kind::zero)
        return a.what == kind::zero ? indefinite : extended{kind::infinite, negative, 0, 0};
    if (a.what == kind::zero || b.what == kind::infinite) return {kind::zero, negative, 0, 0};
    // Long division in two 128/64 steps: 64 quotient bits after the first
    // (a.significand * 2^63 / b.significand lies in (2^62, 2^64)), 64 more
    // after the second, the last remainder as the sticky bit.
    const u128 first = static_cast<u128>(a.significand) << 63;
    const u128 high = first / b.significand;
    const u128 second = (first % b.significand) << 64;
    const u128 low = second / b.significand;
    const bool remainder = second % b.significand != 0;
    return rounded(negative, (high << 64) | low | remainder, a.exponent - b.exponent - 127);
}

float to_float(const extended& x) {
    const auto b = static_cast<std::uint32_t>(rounded_bits(x, 23, 127));
    float v;
    std::memcpy(&v, &b, sizeof v);
    return v;
}

double to_double(const extended& x) {
    const std::uint64_t b = rounded_bits(x, 52, 1023);
    double v;
    std::memcpy(&v, &b, sizeof v);
    return v;
}
