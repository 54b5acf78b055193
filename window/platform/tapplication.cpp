#include "tapplication.h"

#include "dialogs.h"

#include <QEvent>
#include <QFont>

TApplication::TApplication(int& argc, char** argv)
    : QApplication(substituteFaces(argc), argv)
{
}

TApplication::~TApplication()
{
    for (auto form = m_forms.rbegin(); form != m_forms.rend(); ++form)
        delete form->data();  // a form already deleted elsewhere reads as nullptr
}

// Runs before QApplication's constructor, the first place that may match a
// font: a substitution added after a face was matched is not seen for it.
int& TApplication::substituteFaces(int& argc)
{
    // The form's faces come from the system it was designed on. MS Sans Serif
    // is a plain sans face; 標楷體 is the Traditional Chinese Kai (brush) face.
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"),
                                QStringLiteral("Nimbus Sans")});
    QFont::insertSubstitutions(QStringLiteral("\u6A19\u6977\u9AD4"),
                               {QStringLiteral("AR PL UKai TW"), QStringLiteral("AR PL UKai HK"),
                                QStringLiteral("AR PL UKai CN")});
    // The Kai face has no bold; Qt makes one by emboldening its outlines, but
    // by default only below 64 pixels, and "Test" draws its digit at 117.
    qputenv("QT_NO_SYNTHESIZED_BOLD_LIMIT", "1");
    return argc;
}

void TApplication::adopt(QWidget* form)
{
    m_forms.emplace_back(form);
    if (!m_mainForm) {
        m_mainForm = form;
        // Deleting the main form, not only closing it, ends Run as well.
        connect(form, &QObject::destroyed, this, &QCoreApplication::quit);
    }
}

void TApplication::Run()
{
    if (!m_mainForm)
        return;
    m_mainForm->show();
    exec();
}

void TApplication::ShowException(const std::exception& error)
{
    ShowException(QString::fromUtf8(error.what()));
}

void TApplication::ShowException(const QString& message)
{
    ShowMessage(message);
}

// Closing the main form ends the program even while other windows are open;
// a form that refuses to close leaves the event unaccepted. Exceptions are
// not caught here: the controls catch their handlers' exceptions where they
// raise the events (handle_event), and what escapes anything else ends the
// event loop and reaches the entry.
bool TApplication::notify(QObject* receiver, QEvent* event)
{
    const bool handled = QApplication::notify(receiver, event);
    if (event->type() == QEvent::Close && event->isAccepted() && receiver == m_mainForm)
        quit();
    return handled;
}
