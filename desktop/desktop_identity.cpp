#include "desktop_identity.h"

#include <QDirIterator>
#include <QGuiApplication>
#include <QIcon>
#ifdef Q_OS_WIN
#include <QFontDatabase>
#endif

void present_to_desktop() {
    QGuiApplication::setDesktopFileName(QStringLiteral(DIGITS_APP_ID));
    // Every size rendered goes into the icon, and the window system takes the
    // one it needs; the resource is inside the program, so nothing is read
    // from disk.
    QIcon icon;
    QDirIterator sizes(QStringLiteral(":/icons"), {QStringLiteral("*.png")}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (sizes.hasNext()) icon.addFile(sizes.next());
    QGuiApplication::setWindowIcon(icon);
#ifdef Q_OS_WIN
    // The digits of AR PL UKai TW, which the Kai face's name falls back to
    // where Windows has no DFKai-SB; where it has, that face is taken.
    QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/ukai-digits.ttf"));
#endif
}
