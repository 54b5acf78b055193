#include "view_text.h"

#include <QStringList>
#include <algorithm>
#include <cmath>

#include "network.h"
#include "sysutils.h"

namespace view {

namespace {

const char* const layer_word[layer_count] = {"Input", "Hidden", "Output"};

// The smallest and largest finite value, or none.
std::optional<std::pair<float, float>> finite_range(std::span<const float> values, bool magnitude) {
    std::optional<std::pair<float, float>> range;
    for (float v : values) {
        if (!std::isfinite(v)) continue;
        if (magnitude) v = std::fabs(v);
        range = range ? std::pair{std::min(range->first, v), std::max(range->second, v)} : std::pair{v, v};
    }
    return range;
}

QString range_text(std::span<const float> values, bool magnitude) {
    const auto range = finite_range(values, magnitude);
    if (!range) return QStringLiteral("no finite values");
    return QStringLiteral("from %1 to %2").arg(FloatToStr(range->first), FloatToStr(range->second));
}

}  // namespace

QString short_range(std::span<const float> values) { return range_text(values, false); }

QString winner_text(std::span<const float> outputs, int winner) {
    if (winner < 0 || winner >= static_cast<int>(outputs.size())) return QStringLiteral("Recognised: none");
    int second = -1;
    for (int d = 0; d < static_cast<int>(outputs.size()); ++d)
        if (d != winner && (second < 0 || outputs[d] > outputs[second])) second = d;
    if (second < 0) return QStringLiteral("Recognised: %1").arg(winner);
    // Two floats differ by a double exactly.
    const double lead = static_cast<double>(outputs[winner]) - outputs[second];
    return QStringLiteral("Recognised: %1, ahead of %2 by %3").arg(winner).arg(second).arg(FloatToStr(lead));
}

QString input_title(std::span<const int> input) {
    for (int d = 0; d < digit_count; ++d)
        if (std::ranges::equal(input, pattern[d])) return QStringLiteral("Digit %1's bit map").arg(d);
    return QStringLiteral("A bit map drawn by hand");
}

QString input_note(bool cells_show_input, std::span<const int> input) {
    if (cells_show_input) return QString();
    constexpr int last = digit_count - 1;
    return QStringLiteral(
               "Not what the cells show: \"Train\" leaves the last digit it trained, %1, in the input%2, "
               "until a digit is picked.")
        .arg(last)
        .arg(std::ranges::equal(input, pattern[last]) ? QString()
                                                      : QStringLiteral(" (with cells clicked since)"));
}

QString layer_name(int layer) { return QString::fromLatin1(layer_word[layer]); }

QString layer_title(int layer) { return QStringLiteral("%1 layer").arg(layer_name(layer)); }

QString neuron_title(int layer, int j) {
    return QStringLiteral("%1 neuron %2").arg(layer_name(layer)).arg(j);
}

QString neuron_name(int layer, int j, float output, std::optional<float> delta) {
    const QString head = QStringLiteral("%1: output %2").arg(neuron_title(layer, j), FloatToStr(output));
    return delta ? QStringLiteral("%1, delta %2").arg(head, FloatToStr(*delta))
                 : QStringLiteral("%1, no training yet").arg(head);
}

QString input_name(int layer, int k) {
    if (layer == 0) return QStringLiteral("cell %1").arg(k);
    return QStringLiteral("%1 neuron %2").arg(layer_name(layer - 1).toLower()).arg(k);
}

QString weight_text(int layer, int j, int k, float w) {
    return QStringLiteral("%1 neuron %2, weight of %3: %4")
        .arg(layer_name(layer))
        .arg(j)
        .arg(input_name(layer, k))
        .arg(FloatToStr(w));
}

QString heat_map_description(int layer, std::span<const float> weights) {
    const QString inputs = layer == 0 ? QStringLiteral("cells")
                                      : QStringLiteral("%1 neurons").arg(layer_name(layer - 1).toLower());
    return QStringLiteral("%1 rows (%2 neurons) by %3 columns (%4), weights %5")
        .arg(layer_size[layer])
        .arg(layer_name(layer).toLower())
        .arg(fan_in(layer))
        .arg(inputs, range_text(weights, false));
}

QString layer_delta_text(int layer, std::span<const float> deltas) {
    return QStringLiteral("%1 |delta| %2").arg(layer_title(layer), range_text(deltas, true));
}

QString delta_description(std::span<const float> deltas_by_layer[3]) {
    QStringList parts;
    for (int L = layer_count - 1; L >= 0; --L) parts << layer_delta_text(L, deltas_by_layer[L]);
    return parts.join(QStringLiteral("; "));
}

QString neuron_weights_description(int layer, bool incoming, std::span<const float> weights) {
    const QString whom =
        incoming ? (layer == 0 ? QStringLiteral("from the cells")
                               : QStringLiteral("from %1 neurons").arg(layer_name(layer - 1).toLower()))
                 : QStringLiteral("to %1 neurons").arg(layer_name(layer + 1).toLower());
    return QStringLiteral("%1 weights %2, %3").arg(weights.size()).arg(whom, range_text(weights, false));
}

}  // namespace view
