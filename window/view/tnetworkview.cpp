#include "tnetworkview.h"

#include <QKeyEvent>
#include <QLinearGradient>
#include <QPainter>

#include "backprop.h"
#include "recognition.h"
#include "sysutils.h"
#include "view_math.h"
#include "view_text.h"

namespace {

const QString pointing_hint = QStringLiteral("Point at a neuron or a weight to read its value");

} // namespace

TNetworkView::TNetworkView(QWidget* form) : QWidget(form, Qt::Window)
{
    setWindowTitle(QStringLiteral("Network"));
    setFixedSize(view::view_size);
    const view::Layout l = view::view_layout();

    for (int L = 0; L < layer_count; ++L) {
        auto* grid = m_layers[L] = new TValueGrid(this);
        grid->SetSelectable(true);
        grid->setGeometry(l.layers[L]);
        grid->setAccessibleName(view::layer_title(L));
        connect(grid, &TValueGrid::CurrentChanged, this, [this, L](int j) {
            select(L, j);
            if (j < static_cast<int>(m_outputs[L].size()))  // the keyboard's read-out
                readOut(view::neuron_name(L, j, m_outputs[L][j], delta(L, j)));
        });
        connect(grid, &TValueGrid::Hovered, this, [this, L](int j) {
            if (j < 0)
                return readOut(pointing_hint);
            select(L, j);
            readOut(view::neuron_name(L, j, m_outputs[L][j], delta(L, j)));
        });

        auto* map = m_heat[L] = new TValueGrid(this);
        map->SetScale(TValueGrid::Scale::weights);
        map->setGeometry(l.heat_maps[L]);
        map->setAccessibleName(view::layer_title(L) + QStringLiteral(" weights"));
        connect(map, &TValueGrid::Hovered, this, [this, L](int i) {
            readOut(i < 0 ? pointing_hint
                          : view::weight_text(L, i / fan_in(L), i % fan_in(L), m_weights[L][i]));
        });
    }
    m_layers[2]->SetNumbered(true);

    m_incoming = new TValueGrid(this);
    m_incoming->SetScale(TValueGrid::Scale::weights);
    m_incoming->setAccessibleName(QStringLiteral("Incoming weights"));
    connect(m_incoming, &TValueGrid::Hovered, this, [this](int k) {
        readOut(k < 0 ? pointing_hint : view::weight_text(m_layer, m_neuron, k, m_selectedIn[k]));
    });
    m_outgoing = new TValueGrid(this);
    m_outgoing->SetScale(TValueGrid::Scale::weights);
    m_outgoing->setGeometry(l.outgoing);
    m_outgoing->setAccessibleName(QStringLiteral("Outgoing weights"));
    connect(m_outgoing, &TValueGrid::Hovered, this, [this](int j) {
        readOut(j < 0 ? pointing_hint : view::weight_text(m_layer + 1, j, m_neuron, m_selectedOut[j]));
    });

    m_deltaScale = new TDeltaScale(this);
    m_deltaScale->setGeometry(l.deltas);
    m_deltaScale->setAccessibleName(QStringLiteral("Deltas of the last learning step"));
    connect(m_deltaScale, &TDeltaScale::Hovered, this, [this](int L) {
        readOut(L < 0 || !m_trained ? pointing_hint : view::layer_delta_text(L, m_deltas[L]));
    });

    // Along the bottom, in the tooltip colours, so it never covers a value.
    m_readOut = new QLabel(pointing_hint, this);
    m_readOut->setGeometry(l.read_out);
    m_readOut->setIndent(8);
    m_readOut->setAutoFillBackground(true);
    QPalette tip = m_readOut->palette();
    tip.setColor(QPalette::Window, tip.color(QPalette::ToolTipBase));
    tip.setColor(QPalette::WindowText, tip.color(QPalette::ToolTipText));
    m_readOut->setPalette(tip);
    m_readOut->setAccessibleName(QStringLiteral("Read-out"));

    setTabOrder(m_layers[0], m_layers[1]);
    setTabOrder(m_layers[1], m_layers[2]);

    // The learning choices, in the free corner below the deltas.
    m_learning = new TLearningPanel(this);
    m_learning->setGeometry(QRect(QPoint(522, 318), QSize(374, 256)));
}

void TNetworkView::Open()
{
    const bool open = isVisible();
    show();  // refreshes in showEvent when a change came while hidden
    if (open)
        raise();  // a window just shown is on top already
    activateWindow();
}

void TNetworkView::EngineChanged(bool trained)
{
    m_byInput = false;
    m_trained = m_trained || trained;
    m_stale = true;
    if (isVisible())
        refresh();
}

void TNetworkView::InputChanged()
{
    m_byInput = true;
    m_stale = true;
    if (isVisible())
        refresh();
}

void TNetworkView::StartedAgain()
{
    m_trained = false;
    InputChanged();
}

void TNetworkView::showEvent(QShowEvent* event)
{
    if (m_stale)
        refresh();
    QWidget::showEvent(event);
}

void TNetworkView::refresh()
{
    m_stale = false;
    m_shown = the_network;  // same sizes after the first time: no allocation
    if (m_byInput)
        forward_pass(m_shown);
    for (int L = 0; L < layer_count; ++L) {
        m_outputs[L].clear();
        m_deltas[L].clear();
        m_weights[L].clear();
        for (const neuron& n : m_shown.layers[L]) {
            m_outputs[L].push_back(n.output);
            m_deltas[L].push_back(n.delta);
            m_weights[L].insert(m_weights[L].end(), n.weight.begin(), n.weight.end());
        }
    }
    m_limit = 0;
    for (const auto& w : m_weights)
        m_limit = std::max(m_limit, view::weight_limit(w));
    m_winner = winner(m_shown);
    showNeurons();
    showSelected();
    update();
}

std::optional<float> TNetworkView::delta(int layer, int j) const
{
    if (!m_trained)
        return std::nullopt;
    return m_deltas[layer][j];
}

void TNetworkView::showNeurons()
{
    static constexpr int rows[layer_count] = {cell_rows, layer_size[1], layer_size[2]};
    for (int L = 0; L < layer_count; ++L) {
        if (m_shown.layers[L].empty())
            continue;
        TValueGrid* grid = m_layers[L];
        grid->SetValues(m_outputs[L], rows[L], layer_size[L] / rows[L]);
        QStringList names;
        for (int j = 0; j < layer_size[L]; ++j)
            names << view::neuron_name(L, j, m_outputs[L][j], delta(L, j));
        grid->SetItemNames(names);

        m_heat[L]->SetValues(m_weights[L], layer_size[L], fan_in(L));
        m_heat[L]->SetScale(TValueGrid::Scale::weights, m_limit);
        m_heat[L]->setAccessibleDescription(view::heat_map_description(L, m_weights[L]));
    }
    m_layers[2]->SetMarked(m_winner);

    std::array<std::span<const float>, 3> deltas{m_deltas[0], m_deltas[1], m_deltas[2]};
    m_deltaScale->SetDeltas(deltas, m_trained);
    m_deltaScale->setAccessibleDescription(m_trained ? view::delta_description(deltas.data())
                                                     : QStringLiteral("No training yet"));
}

void TNetworkView::select(int layer, int neuron)
{
    if (layer == m_layer && neuron == m_neuron)
        return;
    m_layer = layer;
    m_neuron = neuron;
    showSelected();
    update();  // the titles and captions
}

void TNetworkView::showSelected()
{
    if (m_shown.layers[m_layer].empty())
        return;
    const view::Layout l = view::view_layout();
    const std::vector<real>& in = m_shown.layers[m_layer][m_neuron].weight;
    m_selectedIn.assign(in.begin(), in.end());
    if (m_layer == 2) {
        m_incoming->setGeometry(l.incoming_column);
        m_incoming->SetValues(m_selectedIn, layer_size[1], 1);
    } else {
        // Both lower layers take 36 inputs that have the cells' 4 x 9 shape.
        m_incoming->setGeometry(l.incoming);
        m_incoming->SetValues(m_selectedIn, cell_rows, cell_columns);
    }
    m_incoming->SetScale(TValueGrid::Scale::weights, m_limit);

    m_selectedOut.clear();
    if (m_layer + 1 < layer_count)
        for (const neuron& n : m_shown.layers[m_layer + 1])
            m_selectedOut.push_back(n.weight[m_neuron]);
    m_outgoing->SetValues(m_selectedOut, static_cast<int>(m_selectedOut.size()), 1);
    m_outgoing->SetScale(TValueGrid::Scale::weights, m_limit);
    m_outgoing->setVisible(!m_selectedOut.empty());
    for (int L = 0; L < layer_count; ++L)
        m_layers[L]->SetHighlighted(L == m_layer ? m_neuron : -1);

    const QString whose = view::neuron_title(m_layer, m_neuron);
    m_incoming->setAccessibleName(QStringLiteral("Incoming weights of ") + whose.toLower());
    m_incoming->setAccessibleDescription(view::neuron_weights_description(m_layer, true, m_selectedIn));
    m_outgoing->setAccessibleName(QStringLiteral("Outgoing weights of ") + whose.toLower());
    if (!m_selectedOut.empty())
        m_outgoing->setAccessibleDescription(view::neuron_weights_description(m_layer, false, m_selectedOut));
}

void TNetworkView::readOut(const QString& text)
{
    m_readOut->setText(text);
}

void TNetworkView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const view::Layout l = view::view_layout();
    painter.setPen(palette().color(QPalette::WindowText));
    // A part's title in the 20 pixels above it, a group's 20 above that; a
    // caption in the 20 below.
    auto title = [&painter](const QRect& part, const QString& text, int width, int level = 1) {
        painter.drawText(QRect(part.left(), part.top() - 2 - 20 * level, width, 18), Qt::AlignLeft | Qt::AlignBottom, text);
    };
    auto caption = [&painter](const QRect& part, const QString& text, int width) {
        painter.drawText(QRect(part.left(), part.bottom() + 4, width, 18), Qt::AlignLeft | Qt::AlignTop, text);
    };
    QFont bold = font();
    bold.setBold(true);
    painter.setFont(bold);
    title(l.layers[0], QStringLiteral("Outputs for the current input"), 280, 2);
    title(l.incoming, QStringLiteral("Weights of ") + view::neuron_title(m_layer, m_neuron).toLower(), 200, 2);
    title(l.deltas, QStringLiteral("Deltas of the last learning step"), 360, 2);
    title(l.heat_maps[0], QStringLiteral("Every weight: a row per neuron, a column per input"), 480, 2);
    painter.setFont(font());

    title(l.layers[0], QStringLiteral("Input"), 120);
    title(l.layers[1], QStringLiteral("Hidden"), 56);
    title(l.layers[2], QStringLiteral("Output"), 60);
    caption(l.layers[0], m_winner < 0 ? QStringLiteral("Recognised: none") : QStringLiteral("Recognised: %1").arg(m_winner), 120);

    // The output scale: 0 at the bottom, 1 at the top.
    QLinearGradient outputs(l.output_legend.bottomLeft(), l.output_legend.topLeft());
    outputs.setColorAt(0, view::output_colour(0));
    outputs.setColorAt(1, view::output_colour(1));
    painter.fillRect(l.output_legend, outputs);
    painter.drawRect(l.output_legend.adjusted(0, 0, -1, -1));
    painter.drawText(QRect(l.output_legend.right() + 4, l.output_legend.top() - 6, 30, 14), Qt::AlignLeft, "1");
    painter.drawText(QRect(l.output_legend.right() + 4, l.output_legend.bottom() - 8, 30, 14), Qt::AlignLeft, "0");

    const QRect in = m_incoming->geometry();
    title(in, QStringLiteral("in, from ") + (m_layer == 0 ? QStringLiteral("the cells") : view::layer_title(m_layer - 1).section(' ', 0, 0).toLower()), 128);
    painter.drawText(QRect(in.left(), in.bottom() + 4, 128, 36), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                     view::short_range(m_selectedIn));
    if (m_layer + 1 < layer_count) {
        title(l.outgoing, QStringLiteral("out, to ") + view::layer_title(m_layer + 1).section(' ', 0, 0).toLower(), 100);
        caption(l.outgoing, view::short_range(m_selectedOut), 120);
    } else {
        painter.drawText(QRect(l.outgoing.left(), l.outgoing.top(), 70, 80), Qt::AlignLeft | Qt::TextWordWrap,
                         QStringLiteral("out: none, its output is the answer"));
    }

    // The weight scale: -limit at the left, 0, +limit at the right.
    QLinearGradient weights(l.weight_legend.topLeft(), l.weight_legend.topRight());
    weights.setColorAt(0, view::weight_colour(-m_limit, m_limit));
    weights.setColorAt(0.5, view::weight_colour(0, m_limit));
    weights.setColorAt(1, view::weight_colour(m_limit, m_limit));
    painter.fillRect(l.weight_legend, weights);
    painter.drawRect(l.weight_legend.adjusted(0, 0, -1, -1));
    const QString limit = QString::number(m_limit, 'g', 3);
    const QRect labels(l.weight_legend.left() - 20, l.weight_legend.bottom() + 2, l.weight_legend.width() + 40, 14);
    painter.drawText(labels, Qt::AlignLeft, QStringLiteral("-") + limit);
    painter.drawText(labels, Qt::AlignHCenter, QStringLiteral("0"));
    painter.drawText(labels, Qt::AlignRight, limit);
    title(l.weight_legend, QStringLiteral("Weight scale (all maps)"), 200);

    title(l.heat_maps[0], QStringLiteral("Input layer, 36 x 36"), 180);
    title(l.heat_maps[1], QStringLiteral("Hidden layer, 17 x 36"), 180);
    title(l.heat_maps[2], QStringLiteral("Output layer, 10 x 17"), 180);
    for (int L = 0; L < layer_count; ++L)
        caption(l.heat_maps[L], view::short_range(m_weights[L]), 180);
}

void TNetworkView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
