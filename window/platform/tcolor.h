// Colours as the form library counts them: 0x00BBGGRR, red in the low byte.
#pragma once

#include <QColor>
#include <cstdint>

using TColor = std::uint32_t;

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clLime = 0x00FF00;
// The chart's "no colour of its own": a point drawn in its series' colour.
inline constexpr TColor clTeeColor = 0x20000000;

inline QColor to_qcolor(TColor c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

inline TColor from_qcolor(const QColor& q) {
    return TColor(q.red()) | TColor(q.green()) << 8 | TColor(q.blue()) << 16;
}
