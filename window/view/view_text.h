// What the network view says in words: the names of the neurons, the
// read-out of a weight and the descriptions of the heat maps and the deltas,
// for the mouse and for screen readers alike. Numbers are written as the
// report list boxes write them (FloatToStr).
#pragma once

#include <QString>
#include <optional>
#include <span>

namespace view {

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

// A caption under a map: "0.00713 to 0.0128", three significant digits.
QString short_range(std::span<const float> values);

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
