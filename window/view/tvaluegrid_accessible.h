// The value grids as a screen reader meets them: a selectable grid (a layer
// of neurons) is a list whose items are its cells, named by the grid's item
// names, the current one focused while the grid has the focus; any other
// grid (a map of weights) is a graphic told by its name and description.
#pragma once

#include <QStringList>

class TValueGrid;

// Makes every TValueGrid answer with these interfaces; grids call it.
void install_value_grid_accessibility();
// The items' names have changed from `before`: a screen reader hears of each
// item whose name it may have read.
void value_grid_items_renamed(TValueGrid* grid, const QStringList& before);
// The grid's current cell has changed or the grid took the focus: a screen
// reader hears of the item that has the focus now.
void value_grid_current_changed(TValueGrid* grid);
