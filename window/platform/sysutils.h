// The runtime library's part of the platform: the standard exception class
// and the text conversions. It depends on nothing else of the window, so
// every other file of the layer may use it.
#pragma once

#include <QString>
#include <stdexcept>

// The message is kept as UTF-8 in what(), so a std::exception handler shows
// the same text as Message().
class Exception : public std::runtime_error {
public:
    explicit Exception(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString Message() const { return QString::fromUtf8(what()); }
};

// A text that should have been a number was not.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

QString IntToStr(int value);

// Up to 15 significant digits, '.' as the decimal separator in every locale,
// no trailing zeros.
// Fixed notation from 1E-4 up to below 1E15, scientific outside that range
// (9.99999974737875E-5, 1E15); "NAN", "INF" and "-INF" for the non-finite.
QString FloatToStr(long double value);

// A decimal integer with an optional sign, after optional leading blanks.
// Throws EConvertError ("'abc' is not a valid integer value") for anything
// else, including values outside int.
int StrToInt(const QString& text);

// At most `count` characters from the 1-based position `start`; empty when
// `start` lies outside the text or `count` is not positive.
QString SubString(const QString& text, int start, int count);
