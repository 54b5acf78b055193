#include "close_signals.h"

#ifdef Q_OS_UNIX

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int closing_signals[] = {SIGINT, SIGTERM, SIGHUP};

// The write end of the pipe, for the handler; -1 until it exists.
volatile std::sig_atomic_t pipeWrite = -1;

void onSignal(int number) {
    const int saved = errno;  // the interrupted code may be about to read it
    const unsigned char byte = static_cast<unsigned char>(number);
    if (pipeWrite >= 0) {
        const ssize_t written = ::write(pipeWrite, &byte, 1);
        static_cast<void>(written);  // a full pipe holds signals enough to act on
    }
    errno = saved;
}

const char* signalName(int number) {
    switch (number) {
        case SIGINT: return "SIGINT";
        case SIGTERM: return "SIGTERM";
        case SIGHUP: return "SIGHUP";
        default: return "a signal";
    }
}

}  // namespace

void CloseOnSignals(QObject* owner, std::function<void(const char* name)> onSignalName) {
    static int ends[2] = {-1, -1};
    if (ends[0] < 0) {
        if (::pipe(ends) != 0) return;  // the signals keep their default: they end the process
        for (int end : ends) {
            ::fcntl(end, F_SETFD, FD_CLOEXEC);
            ::fcntl(end, F_SETFL, ::fcntl(end, F_GETFL) | O_NONBLOCK);  // a full pipe drops, never blocks
        }
        pipeWrite = ends[1];
        struct sigaction action {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (int number : closing_signals) ::sigaction(number, &action, nullptr);
    }
    auto* notifier = new QSocketNotifier(ends[0], QSocketNotifier::Read, owner);
    QObject::connect(notifier, &QSocketNotifier::activated, owner, [onSignalName = std::move(onSignalName)] {
        unsigned char byte = 0;
        while (::read(ends[0], &byte, 1) == 1) onSignalName(signalName(byte));
    });
}

#elif defined(Q_OS_WIN)

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace {

// Windows ends a session by sending WM_ENDSESSION to every top-level window
// and ends the process itself, with an exit code of its own, as soon as the
// message is answered; the event loop never runs again. So the program ends
// here, on the GUI thread inside that message, with its window closed first.
class SessionEnd final : public QObject, public QAbstractNativeEventFilter {
public:
    SessionEnd(QObject* owner, std::function<void(const char*)> onEnd)
        : QObject(owner), m_onEnd(std::move(onEnd)) {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~SessionEnd() override {
        if (QCoreApplication::instance()) QCoreApplication::instance()->removeNativeEventFilter(this);
    }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "windows_generic_MSG") return false;
        const MSG* msg = static_cast<const MSG*>(message);
        if (msg->message != WM_ENDSESSION || msg->wParam == FALSE)
            return false;  // FALSE: the end was called off
        m_onEnd("WM_ENDSESSION");
        std::fflush(nullptr);
        std::_Exit(0);
    }

private:
    std::function<void(const char*)> m_onEnd;
};

}  // namespace

void CloseOnSignals(QObject* owner, std::function<void(const char* name)> onSignalName) {
    new SessionEnd(owner, std::move(onSignalName));
}

#else

void CloseOnSignals(QObject*, std::function<void(const char*)>) {}

#endif
