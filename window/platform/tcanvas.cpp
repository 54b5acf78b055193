#include "tcanvas.h"

#include <QAccessibleWidget>
#include <QFontMetrics>
#include <QPainter>
#include <QStringDecoder>
#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <string>
#include <windows.h>
#undef TextOut  // windows.h's name for TextOutW; TCanvas has one of its own
#endif

void TFont::SetName(const QString& name) {
    m_name = name;
    m_resolved.reset();
}

void TFont::SetName(std::string_view narrow) {
    QStringDecoder big5("Big5");
    const QByteArrayView bytes(narrow.data(), qsizetype(narrow.size()));
    if (big5.isValid()) return SetName(QString(big5(bytes)));
#ifdef Q_OS_WIN
    // A Qt without ICU knows no Big5, but Windows does: code page 950.
    if (const int length = MultiByteToWideChar(950, 0, narrow.data(), int(narrow.size()), nullptr, 0);
        length > 0) {
        std::wstring wide(std::size_t(length), L'\0');
        MultiByteToWideChar(950, 0, narrow.data(), int(narrow.size()), wide.data(), length);
        return SetName(QString::fromStdWString(wide));
    }
#endif
    SetName(QString::fromLocal8Bit(bytes));
}

void TFont::SetHeight(int height) {
    m_height = height;
    m_resolved.reset();
}

void TFont::SetStyle(TFontStyles style) {
    m_style = style;
    m_resolved.reset();
}

QFont TFont::to_qfont() const {
    if (m_resolved) return *m_resolved;

    QFont font(m_name);
    font.setBold(m_style.Contains(fsBold));
    font.setItalic(m_style.Contains(fsItalic));
    font.setUnderline(m_style.Contains(fsUnderline));
    font.setStrikeOut(m_style.Contains(fsStrikeOut));
    const auto cellHeight = [&font](int pixelSize) {
        font.setPixelSize(pixelSize);
        return QFontMetrics(font).height();
    };

    if (m_height > 0) {
        // The largest pixel size whose cell still fits; the cell grows with the
        // pixel size, so a binary search finds it.
        int fits = 1;
        int tooBig = m_height + 1;
        while (tooBig - fits > 1) {
            const int middle = (fits + tooBig) / 2;
            (cellHeight(middle) <= m_height ? fits : tooBig) = middle;
        }
        font.setPixelSize(fits);
    } else {
        font.setPixelSize(m_height < 0 ? -m_height : 11);
    }
    m_resolved = font;
    return font;
}

void TCanvas::TextOut(int x, int y, const QString& text) {
    if (m_picture.isNull()) {
        m_picture = QImage(m_surface->size(), QImage::Format_RGB32);
        m_picture.fill(Qt::white);
        if (m_picture.isNull()) return;  // the control has no area yet; try again next time
    }
    const QFont font = m_font.to_qfont();
    const QFontMetrics metrics(font);
    const QRect cell(x, y, metrics.horizontalAdvance(text), metrics.height());

    QPainter painter(&m_picture);
    if (m_brush.Style() == bsSolid) painter.fillRect(cell, to_qcolor(m_brush.Color()));
    painter.setFont(font);
    painter.setPen(to_qcolor(m_font.Color()));
    painter.drawText(x, y + metrics.ascent(), text);
    painter.end();
    m_surface->update();  // a glyph may reach past its cell
}

int TCanvas::TextWidth(const QString& text) const {
    return QFontMetrics(m_font.to_qfont()).horizontalAdvance(text);
}

int TCanvas::TextHeight(const QString&) const { return QFontMetrics(m_font.to_qfont()).height(); }

namespace {

// To a screen reader a picture is a graphic, named by whoever draws on it.
QAccessibleInterface* image_accessible(const QString& class_name, QObject* object) {
    if (class_name == QLatin1String("TImage") && object && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Graphic);
    return nullptr;
}

}  // namespace

TImage::TImage(QWidget* parent) : TControl(parent) {
    static const bool installed = (QAccessible::installFactory(image_accessible), true);
    (void)installed;
}

void TImage::paintEvent(QPaintEvent*) {
    if (!m_canvas.Picture().isNull()) QPainter(this).drawImage(0, 0, m_canvas.Picture());
}
