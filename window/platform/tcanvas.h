// A picture control and the canvas that draws on it: a pen, a brush and a
// font, and text written at a position as the form library writes it.
#pragma once

#include "tcolor.h"
#include "tcontrols.h"

#include <QFont>
#include <QImage>
#include <QString>
#include <QWidget>
#include <optional>
#include <string_view>

enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };

// A set of font styles: TFontStyles() << fsBold << fsItalic.
class TFontStyles {
public:
    TFontStyles& operator<<(TFontStyle style) & {
        m_bits |= bit(style);
        return *this;
    }
    TFontStyles operator<<(TFontStyle style) && {
        m_bits |= bit(style);
        return *this;
    }
    bool Contains(TFontStyle style) const { return m_bits & bit(style); }
    friend bool operator==(TFontStyles, TFontStyles) = default;

private:
    static unsigned bit(TFontStyle style) { return 1u << style; }
    unsigned m_bits = 0;
};

class TPen {
public:
    void SetColor(TColor color) { m_color = color; }
    TColor Color() const { return m_color; }

private:
    TColor m_color = clBlack;
};

enum TBrushStyle { bsSolid, bsClear };

// Fills the background of text. bsClear leaves what is under the text visible.
class TBrush {
public:
    void SetColor(TColor color) { m_color = color; }
    TColor Color() const { return m_color; }
    void SetStyle(TBrushStyle style) { m_style = style; }
    TBrushStyle Style() const { return m_style; }

private:
    TColor m_color = clWhite;
    TBrushStyle m_style = bsSolid;
};

class TFont {
public:
    void SetName(const QString& name);
    // Narrow text is in the program's ANSI code page, Big5 (Traditional Chinese).
    void SetName(const char* narrow) { SetName(std::string_view(narrow ? narrow : "")); }
    void SetName(std::string_view narrow);
    QString Name() const { return m_name; }

    // Positive: the height of the whole character cell (ascent and descent),
    // met as closely as the face allows without exceeding it. Negative: the
    // height of the characters themselves, the em size in pixels. 0: the
    // default size.
    void SetHeight(int height);
    int Height() const { return m_height; }

    void SetStyle(TFontStyles style);
    TFontStyles Style() const { return m_style; }

    void SetColor(TColor color) { m_color = color; }
    TColor Color() const { return m_color; }

    // The Qt font these settings come to, pixel size resolved.
    QFont to_qfont() const;

private:
    QString m_name = QStringLiteral("MS Sans Serif");
    int m_height = -11;  // 8 points on a 96 dpi screen
    TFontStyles m_style;
    TColor m_color = clBlack;
    mutable std::optional<QFont> m_resolved;  // needs a running application
};

class TCanvas {
public:
    // Draws on a picture of `surface`'s size, made on the first drawing, and
    // has `surface` repaint after each.
    explicit TCanvas(QWidget* surface) : m_surface(surface) {}

    TPen& Pen() { return m_pen; }
    TBrush& Brush() { return m_brush; }
    TFont& Font() { return m_font; }

    // The text with the top-left corner of its character cell at (x, y), in
    // the font's colour. A solid brush first fills that cell, and nothing
    // else: whatever lies beyond a shorter text stays as it was.
    void TextOut(int x, int y, const QString& text);
    int TextWidth(const QString& text) const;
    int TextHeight(const QString& text) const;

    // Null until the first drawing.
    const QImage& Picture() const { return m_picture; }

private:
    QWidget* m_surface;
    QImage m_picture;
    TPen m_pen;
    TBrush m_brush;
    TFont m_font;
};

// A picture that keeps what was drawn on it and shows it at its top-left
// corner. The picture takes the control's size when first drawn on and keeps
// that size.
class TImage : public TControl<QWidget> {
    Q_OBJECT
public:
    explicit TImage(QWidget* parent = nullptr);

    TCanvas& Canvas() { return m_canvas; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TCanvas m_canvas{this};
};
