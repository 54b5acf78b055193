// The form-library and runtime operations the form is written against, on Qt
// and the standard library. Include this one header; the controls, the canvas
// and the application object live in the headers below.
#pragma once

#include "tapplication.h"
#include "tcanvas.h"
#include "tcolor.h"
#include "tcontrols.h"
#include "tstrings.h"

#include <QString>
#include <functional>
#include <stdexcept>

using TObject = QObject;

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

// Up to 15 significant digits, '.' as the decimal separator, no trailing zeros.
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

// A modal box with the text, an OK button and the application's name as its
// title; returns once the user has closed it.
void ShowMessage(const QString& text);

// Replaces what ShowMessage (and TApplication::ShowException) does, so tests
// can collect messages instead of blocking on a box. Returns the previous
// replacement; an empty function brings the real box back.
using message_function = std::function<void(const QString&)>;
message_function SetMessageFunction(message_function replacement);

// Runs an event handler of the form. What it throws is shown to the user right
// here, before it could unwind through Qt's own code, which is not written for
// exceptions (TApplication::notify catches what gets past this, but Qt may
// already have lost state on the way).
template <class Handler>
void handle_event(Handler&& handler) noexcept
{
    try {
        handler();
    } catch (const std::exception& error) {
        ShowMessage(QString::fromUtf8(error.what()));
    } catch (...) {
        ShowMessage(QString());
    }
}

