// What the network view says in words: the names of the neurons, the
// read-out of a weight and the descriptions of the heat maps and the deltas,
// for the mouse and for screen readers alike. Numbers are written as the
// report list boxes write them (FloatToStr), everywhere.
#pragma once

#include <QString>
#include <optional>
#include <span>

namespace view {

// "Input", "Hidden", "Output": every name of a layer is made from this.
QString layer_name(int layer);
// "Input layer", "Hidden layer", "Output layer".
QString layer_title(int layer);

// "Hidden neuron 5".
QString neuron_title(int layer, int j);

// "Hidden neuron 5: output 0.0999…, delta …"; without a delta (no training
// yet) "…: output …, no training yet".
QString neuron_name(int layer, int j, float output, std::optional<float> delta);

// What input k of a neuron of this layer is: "cell 3" for the input layer,
// else the neuron of the layer below that feeds it.
QString input_name(int layer, int k);

// A caption under a map: "from 0.00713… to 0.0128…".
QString short_range(std::span<const float> values);

// The recognised digit and its lead over the runner-up: "Recognised: 8,
// ahead of 3 by 0.0412…"; "Recognised: none" without a winner.
QString winner_text(std::span<const float> outputs, int winner);

// What the view's input is: "Digit 3's bit map" where it is a stored digit's,
// else "A bit map drawn by hand".
QString input_title(std::span<const int> input);
// Why the input is not what the cells show, or empty where it is.
QString input_note(bool cells_show_input, std::span<const int> input);

// "Hidden neuron 5, weight of input neuron 12: 0.0101…".
QString weight_text(int layer, int j, int k, float w);

// A layer's weights, a row per neuron: "17 rows (hidden neurons) by 36
// columns (input neurons), weights from … to …".
QString heat_map_description(int layer, std::span<const float> weights);

// One layer's delta magnitudes: "Hidden layer |delta| from … to …".
QString layer_delta_text(int layer, std::span<const float> deltas);
// Every layer's, output layer first, joined by "; ".
QString delta_description(std::span<const float> deltas_by_layer[3]);

// A neuron's weights in or out: "36 weights from the cells, from … to …",
// "10 weights to output neurons, from … to …".
QString neuron_weights_description(int layer, bool incoming, std::span<const float> weights);

}  // namespace view
