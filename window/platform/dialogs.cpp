#include "dialogs.h"

#include <QApplication>
#include <QMessageBox>
#include <utility>

namespace {

message_function& replacement_message() {
    static message_function replacement;
    return replacement;
}

}  // namespace

void ShowMessage(const QString& text) {
    if (const message_function& replacement = replacement_message()) {
        replacement(text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

message_function SetMessageFunction(message_function replacement) {
    return std::exchange(replacement_message(), std::move(replacement));
}

void show_current_exception() noexcept {
    // Showing may itself fail (no memory for the box): then nothing more can
    // be done for this event, and the program still goes on.
    try {
        try {
            throw;
        } catch (const std::exception& error) {
            ShowMessage(QString::fromUtf8(error.what()));
        } catch (...) {
            ShowMessage(QString());
        }
    } catch (...) {
    }
}
