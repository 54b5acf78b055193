// The ticks of an axis: where its labelled marks go and how they read, on a
// linear axis (1, 2 or 5 times a power of ten) and on a logarithmic one
// (decades and their multiples, epoch 0 included). Pure functions.
#pragma once

#include "chart_math.h"

#include <QString>
#include <functional>
#include <vector>

namespace chart {

// The ticks of an axis and its ends.
struct Ticks {
    double lo = 0;  // the axis' ends
    double hi = 1;
    double step = 1;
    int decimals = 0;             // digits after the point that the step needs
    std::vector<double> values;   // axis positions
    std::vector<QString> labels;  // one per value: the data value it stands for
};

// An axis from lo to hi with ticks at a "nice" step (1, 2 or 5 times a power
// of ten): every multiple of the step on the axis, at most max_ticks of them
// inside the data. The axis spans the data and `margin` (a share of its
// span) beyond each end; an end moves out to the next tick only when that
// wastes little room (so wide labels never shrink the plot to half) or when
// fewer than two ticks would lie inside the data (then both ends do).
Ticks nice_ticks(double lo, double hi, int max_ticks, double margin = 0);

// A tick value as a label: no float noise (0.0105, not 0.010500000001),
// trailing zeros dropped, never "-0"; huge or tiny values in exponent form.
QString tick_label(double value, const Ticks& ticks);

// The ticks for an axis that shows exactly lo..hi (a zoomed axis): every
// multiple of a nice step inside, at most max_ticks of them.
Ticks ticks_within(double lo, double hi, int max_ticks);

// What an axis shows and how its data are placed.
struct AxisView {
    Scale scale;
    Span span;          // in axis positions
    bool full = true;   // the full view: the axis may widen to its margin and to nice ends
    double margin = 0;  // of the full view beyond each end of `span`, as a share of it
};

// The tick set for an axis: the densest whose labels `fits` accepts, tried
// from max_ticks down. A linear axis steps by 1, 2 or 5 times a power of ten.
// A logarithmic one tries 1..9 per decade, then 1, 2, 5, then decades, then
// every n-th decade, and falls back to a linear step between the data
// values when the span holds fewer than two of those; epoch 0 gets a tick
// of its own on the log10(1 + x) axis. When nothing fits, the sparsest set.
Ticks choose_ticks(const AxisView& axis, int max_ticks, const std::function<bool(const Ticks&)>& fits);

}  // namespace chart
