// A list of text lines: a combo box's items, a list box's lines, a chart's title.
#pragma once

#include <QString>

class TStrings {
public:
    virtual ~TStrings() = default;
    virtual void Clear() = 0;
    virtual void Add(const QString& line) = 0;  // after the existing lines
    virtual int Count() const = 0;
    virtual QString Strings(int index) const = 0;
};
