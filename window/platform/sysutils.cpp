#include "sysutils.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <string>
#include <string_view>

QString IntToStr(int value) { return QString::number(value); }

QString FloatToStr(long double value) {
    if (std::isnan(value)) return QStringLiteral("NAN");
    if (std::isinf(value)) return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    if (value == 0) return QStringLiteral("0");  // also for -0: the sign of nothing is not shown

    // The full long double correctly rounded to 15 significant digits,
    // "[-]d.dddddddddddddde[+-]xx". to_chars writes what printf writes in the
    // C locale, whatever locale is in force: printf itself would take the
    // decimal separator from the user's locale, which Qt selects at start-up.
    char printed[64];
    const auto end =
        std::to_chars(printed, printed + sizeof printed, value, std::chars_format::scientific, 14).ptr;
    const std::string_view text(printed, end - printed);
    const bool negative = text.front() == '-';
    const auto e_at = text.find('e');

    std::string digits;
    for (char c : text.substr(negative, e_at - negative))
        if (c != '.') digits += c;
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    // The power of ten of the first digit, after rounding: 0.0001 has -4.
    const int exponent = std::stoi(std::string(text.substr(e_at + 1)));

    std::string shown = negative ? "-" : "";
    if (exponent < -4 || exponent >= 15) {
        shown += digits.front();
        if (digits.size() > 1) shown += '.' + digits.substr(1);
        shown += 'E' + std::to_string(exponent);
    } else if (exponent < 0) {
        shown += "0." + std::string(-exponent - 1, '0') + digits;
    } else {
        const std::size_t whole = exponent + 1;
        if (digits.size() <= whole)
            shown += digits + std::string(whole - digits.size(), '0');
        else
            shown += digits.substr(0, whole) + '.' + digits.substr(whole);
    }
    return QString::fromLatin1(shown);
}

int StrToInt(const QString& text) {
    const auto invalid = [&text] {
        return EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    };
    qsizetype at = 0;
    while (at < text.size() && text[at] == u' ') ++at;
    const bool negative = at < text.size() && text[at] == u'-';
    if (at < text.size() && (text[at] == u'-' || text[at] == u'+')) ++at;
    if (at == text.size()) throw invalid();

    // Accumulated as a magnitude, so INT_MIN, one more than INT_MAX, fits.
    long long magnitude = 0;
    for (; at < text.size(); ++at) {
        const char16_t c = text[at].unicode();
        if (c < u'0' || c > u'9') throw invalid();
        magnitude = magnitude * 10 + (c - u'0');
        if (magnitude > -static_cast<long long>(INT_MIN)) throw invalid();
    }
    const long long value = negative ? -magnitude : magnitude;
    if (value > INT_MAX) throw invalid();
    return static_cast<int>(value);
}

QString SubString(const QString& text, int start, int count) {
    if (start < 1 || start > text.size() || count <= 0) return {};
    return text.mid(start - 1, count);
}
