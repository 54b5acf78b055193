#include "tapplication.h"

#include "accessible_roles.h"
#include "close_signals.h"
#include "dialogs.h"

#include <QEvent>
#include <QFont>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// What Qt gets in place of the command line: the program's name alone.
// QApplication keeps references to both for its whole life, so they outlive
// every application object.
std::string programName;
int qtArgc = 1;
char* qtArgv[] = {nullptr, nullptr};

// The messages Qt logs while QApplication is constructed are held back:
// if the platform cannot be started they are four lines of Qt's about one
// fault, and the program says it on one line of its own instead.
struct HeldMessage {
    QtMsgType type;
    std::string file, function, category;
    int line;
    QString text;
};
std::mutex heldMutex;  // Qt may log from its own threads too
bool holding = false;
std::vector<HeldMessage> held;
QtMessageHandler passOnTo = nullptr;  // the handler before ours

void passOn(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (passOnTo)
        passOnTo(type, context, text);
    else
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
}

// The program's one line on standard error, named as Qt names the program.
void sayOnStandardError(const char* what) {
    const char* name = std::strrchr(qtArgv[0], '/');
    name = name ? name + 1 : qtArgv[0];
    if (*name)
        std::fprintf(stderr, "%s: %s\n", name, what);
    else
        std::fprintf(stderr, "%s\n", what);
    std::fflush(nullptr);
}

[[noreturn]] void endForLackOfDisplay(const char* what) {
    // Qt's Wayland platform may see the compositor go from its event thread
    // and from the GUI thread at once: the first to get here says it and
    // ends the process, any other waits for that.
    static std::atomic_flag ending = ATOMIC_FLAG_INIT;
    if (ending.test_and_set())
        for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
    // A windowed program on Windows has no standard error to read; there Qt
    // has already said in a box of its own that no platform could be started
    // (the one way to get here), and a second box would only repeat it.
    sayOnStandardError(what);
    // Nothing the program has is kept beyond the process, and the window
    // system is gone: there is nothing for destructors to tidy.
    std::_Exit(0);
}

// Qt's only fatal error while it starts is that none of the platforms it
// tried (Wayland first where a compositor is announced, then X11) could be
// started. Its messages before that say why each failed.
std::string whyNoPlatform(const std::vector<HeldMessage>& messages) {
    bool noXServer = false, noCompositor = false;
    std::vector<std::string> unloadable;  // platform plugins missing or broken
    bool displayMissing = false;          // the plugin's last complaint
    for (const HeldMessage& m : messages) {
        if (m.text.startsWith(QLatin1String("could not connect to display")) ||
            m.text.startsWith(QLatin1String("Failed to create wl_display"))) {
            displayMissing = true;
            continue;
        }
        static const QLatin1String find("Could not find the Qt platform plugin \""),
            load("Could not load the Qt platform plugin \"");
        const bool found = m.text.startsWith(load);
        if (!found && !m.text.startsWith(find)) continue;
        const qsizetype start = (found ? load : find).size();
        const QString plugin = m.text.mid(start, m.text.indexOf(QLatin1Char('"'), start) - start);
        if (found && displayMissing && plugin == QLatin1String("xcb"))
            noXServer = true;
        else if (found && displayMissing && plugin.startsWith(QLatin1String("wayland")))
            noCompositor = true;
        else
            unloadable.push_back(plugin.toStdString());
        displayMissing = false;
    }
    std::string why;
    if (noXServer || noCompositor)
        why = std::string(noXServer && noCompositor ? "no X server and no Wayland compositor"
                          : noXServer               ? "no X server"
                                                    : "no Wayland compositor") +
              " could be reached to show the window on";
    for (const std::string& plugin : unloadable)
        why += (why.empty() ? "" : "; ") +
               ("Qt's platform plugin \"" + plugin + "\" is missing or could not be loaded");
    return why.empty() ? "no display could be opened to show the window on" : why;
}

void onQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    {
        const std::lock_guard lock(heldMutex);
        if (holding) {
            // Qt would abort the process after this message.
            if (type == QtFatalMsg) endForLackOfDisplay(whyNoPlatform(held).c_str());
            held.push_back({type, context.file ? context.file : "", context.function ? context.function : "",
                            context.category ? context.category : "", context.line, text});
            return;
        }
    }
    // Qt's X11 and Wayland platforms log these when the display has gone
    // (Wayland: from its event thread), then end the process themselves with
    // exit code 1.
    if (type == QtWarningMsg && (text.startsWith(QLatin1String("The X11 connection broke")) ||
                                 text.startsWith(QLatin1String("The Wayland connection broke"))))
        endForLackOfDisplay("the display has gone away; the program ends");
    if (type == QtWarningMsg &&
        text.startsWith(QLatin1String("The Wayland connection experienced a fatal error")))
        endForLackOfDisplay("the connection to the display failed; the program ends");
    passOn(type, context, text);
}

// Qt has started: what it logged meanwhile goes where it would have gone.
void stopHolding() {
    std::vector<HeldMessage> messages;
    {
        const std::lock_guard lock(heldMutex);
        holding = false;
        messages.swap(held);
    }
    for (const HeldMessage& m : messages) {
        const QMessageLogContext context(m.file.empty() ? nullptr : m.file.c_str(), m.line,
                                         m.function.empty() ? nullptr : m.function.c_str(),
                                         m.category.empty() ? nullptr : m.category.c_str());
        passOn(m.type, context, m.text);
    }
}

}  // namespace

TApplication::TApplication(int argc, char** argv) try : QApplication(beforeQt(argc, argv), qtArgv) {
    stopHolding();
    InstallPlatformAccessibility();
    // Interrupted, or its session ending: the program ends as it does when
    // its window is closed, with exit code 0.
    CloseOnSignals(this, [this](const char* name) {
        if (m_ending) return;
        m_ending = true;
        sayOnStandardError((std::string(name) + " received; the window closes and the program ends").c_str());
        if (m_mainForm) m_mainForm->close();
        quit();  // also where the form is still being made and no loop runs yet
    });
} catch (...) {
    stopHolding();
    qInstallMessageHandler(passOnTo);
}

TApplication::~TApplication() {
    for (auto form = m_forms.rbegin(); form != m_forms.rend(); ++form)
        delete form->data();  // a form already deleted elsewhere reads as nullptr
    qInstallMessageHandler(passOnTo);
}

int& TApplication::beforeQt(int argc, char** argv) {
    programName = argc > 0 && argv && argv[0] ? argv[0] : "";
    qtArgv[0] = programName.data();
    qtArgc = 1;
    {
        const std::lock_guard lock(heldMutex);
        holding = true;
        held.clear();
    }
    const QtMessageHandler previous = qInstallMessageHandler(onQtMessage);
    if (previous != onQtMessage)  // not left by an application object that never ended
        passOnTo = previous;
    substituteFaces();
    return qtArgc;
}

// Runs before QApplication's constructor, the first place that may match a
// font: a substitution added after a face was matched is not seen for it.
void TApplication::substituteFaces() {
    // The form's faces come from the system it was designed on. MS Sans Serif
    // is a plain sans face; 標楷體 is the Traditional Chinese Kai (brush) face.
    QFont::insertSubstitutions(
        QStringLiteral("MS Sans Serif"),
        {QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans")});
    QFont::insertSubstitutions(
        QStringLiteral("\u6A19\u6977\u9AD4"),
        {QStringLiteral("AR PL UKai TW"), QStringLiteral("AR PL UKai HK"), QStringLiteral("AR PL UKai CN")});
    // The Kai face has no bold; Qt makes one by emboldening its outlines, but
    // by default only below 64 pixels, and "Test" draws its digit at 117.
    qputenv("QT_NO_SYNTHESIZED_BOLD_LIMIT", "1");
}

void TApplication::adopt(QWidget* form) {
    m_forms.emplace_back(form);
    if (!m_mainForm) {
        m_mainForm = form;
        // Deleting the main form, not only closing it, ends Run as well.
        connect(form, &QObject::destroyed, this, &QCoreApplication::quit);
    }
}

void TApplication::Run() {
    if (!m_mainForm || m_ending) return;
    m_mainForm->show();
    exec();
}

void TApplication::ShowException(const std::exception& error) {
    ShowException(QString::fromUtf8(error.what()));
}

void TApplication::ShowException(const QString& message) { ShowMessage(message); }

// Closing the main form ends the program even while other windows are open;
// a form that refuses to close leaves the event unaccepted. Exceptions are
// not caught here: the controls catch their handlers' exceptions where they
// raise the events (handle_event), and what escapes anything else ends the
// event loop and reaches the entry.
bool TApplication::notify(QObject* receiver, QEvent* event) {
    const bool handled = QApplication::notify(receiver, event);
    if (event->type() == QEvent::Close && event->isAccepted() && receiver == m_mainForm) quit();
    return handled;
}
