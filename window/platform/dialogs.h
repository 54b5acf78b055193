// The message box, and the one place where an event handler's exception is
// caught. Nothing here depends on the controls, so every control can raise
// its events through handle_event.
#pragma once

#include <QString>
#include <exception>
#include <functional>

// A modal box with the text, an OK button and the application's name as its
// title; returns once the user has closed it.
void ShowMessage(const QString& text);

// Replaces what ShowMessage (and TApplication::ShowException) does, so tests
// can collect messages instead of blocking on a box. Returns the previous
// replacement; an empty function brings the real box back.
using message_function = std::function<void(const QString&)>;
message_function SetMessageFunction(message_function replacement);

// Shows the exception being handled: its message for a std::exception, an
// empty message for anything else. Call only from inside a catch block.
void show_current_exception() noexcept;

// Runs an event handler of the form. Every control raises its events through
// this, and it is the only place that catches what a handler throws: the
// user sees the message and the program goes on with the next event. The
// exception never reaches Qt's own code, which is not written for it.
template <class Handler>
void handle_event(Handler&& handler) noexcept {
    try {
        handler();
    } catch (...) {
        show_current_exception();
    }
}
