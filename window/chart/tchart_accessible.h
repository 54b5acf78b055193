// The chart as a screen reader meets it: a chart named by its title, whose
// description tells the view and each series' title and number of points,
// with a press action that switches the view as a click does.
#pragma once

#include <QString>

class TChart;

// Makes every TChart answer with this interface; the chart calls it once.
void install_chart_accessibility();

// The chart's title, its lines joined by blanks.
QString chart_accessible_name(TChart& chart);
// For example "2-D view; Random Number: 36 points".
QString chart_accessible_description(TChart& chart);

// Something the name or the description tells may have changed. The chart
// calls this on every change; screen readers hear of what did change once
// the event loop next runs, so a run that adds 100,010 points sends one
// notice rather than 100,010, and nothing at all while none is listening.
void chart_accessible_changed(TChart* chart);
