#include "tnetworkview.h"

#include <QAccessible>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

#include "backprop.h"
#include "contrast.h"
#include "placement.h"
#include "recognition.h"
#include "sysutils.h"
#include "view_colours.h"
#include "view_text.h"

namespace {

const QString pointing_hint =
    QStringLiteral("Point at a neuron or a weight, or move the focus there, to read its value");

QLabel* wrapping(QLabel* label) {
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QLabel* bold(QLabel* label) {
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

}  // namespace

TNetworkView::TNetworkView(QWidget* form, const network& nw) : QWidget(form, Qt::Window), m_network(nw) {
    setWindowTitle(QStringLiteral("Network"));
    const int line = fontMetrics().height();
    // Two rows: the input, the outputs and the selected neuron's weights
    // above; the maps of every weight and the deltas below.
    // The panels scroll where the screen is smaller than they are (a large
    // scale factor on a small screen); the read-out stays in view below them.
    auto* window = new QVBoxLayout(this);
    window->setContentsMargins(0, 0, 0, 0);
    window->setSpacing(0);
    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    m_contents = new QWidget(scroll);
    auto* root = new QGridLayout(m_contents);

    // Which input the numbers are for, as a small picture of its cells.
    auto* inputBox = new QGroupBox(QStringLiteral("Input"), m_contents);
    auto* input = new QVBoxLayout(inputBox);
    m_inputPicture = new TValueGrid(inputBox);
    m_inputPicture->SetScale(TValueGrid::Scale::bits);
    m_inputPicture->SetCellSize(QSize(line * 2 / 3, line * 2 / 3));
    m_inputPicture->setAccessibleName(QStringLiteral("The input shown"));
    input->addWidget(m_inputPicture, 0, Qt::AlignLeft);
    m_inputTitle = bold(wrapping(new QLabel(inputBox)));
    m_inputNote = wrapping(new QLabel(inputBox));
    input->addWidget(m_inputTitle);
    input->addWidget(m_inputNote);
    input->addStretch();
    inputBox->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("M")) * 12);
    root->addWidget(inputBox, 0, 0);

    // The three layers' outputs, the output scale and the winner.
    auto* outputsBox = new QGroupBox(QStringLiteral("Outputs for the current input"), m_contents);
    auto* outputs = new QGridLayout(outputsBox);
    const QSize cells[layer_count] = {
        {line + 2, line + 2},
        {2 * line, line * 2 / 3},
        {fontMetrics().horizontalAdvance(QStringLiteral("9: 0.000000000000000")) + 8, line + 4},
    };
    const int gaps[layer_count] = {2, 2, 4};  // the output layer's frames the winner in its gap
    for (int L = 0; L < layer_count; ++L) {
        outputs->addWidget(new QLabel(view::layer_name(L), outputsBox), 0, L);
        auto* grid = m_layers[L] = new TValueGrid(outputsBox);
        grid->SetSelectable(true);
        grid->SetGap(gaps[L]);
        grid->SetCellSize(cells[L]);
        grid->setAccessibleName(view::layer_title(L));
        outputs->addWidget(grid, 1, L, Qt::AlignTop);
        connect(grid, &TValueGrid::CurrentChanged, this, [this, L](int j) {
            select(L, j);
            if (j < static_cast<int>(m_outputs[L].size()))  // the keyboard's read-out
                readOut(view::neuron_name(L, j, m_outputs[L][j], delta(L, j)));
        });
        connect(grid, &TValueGrid::Hovered, this, [this, L](int j) {
            if (j < 0) return readOut(pointing_hint);
            select(L, j);
            readOut(view::neuron_name(L, j, m_outputs[L][j], delta(L, j)));
        });
    }
    auto* outputScale = new TScaleBar(TScaleBar::Scale::outputs, outputsBox);
    outputScale->setAccessibleName(QStringLiteral("Output scale, 0 to 1"));
    outputs->addWidget(outputScale, 1, layer_count);
    m_recognised = wrapping(new QLabel(outputsBox));
    outputs->addWidget(m_recognised, 2, 0, 1, layer_count + 1);
    outputs->setRowStretch(3, 1);
    root->addWidget(outputsBox, 0, 1);

    // The selected neuron's weights, in and out.
    m_weightsBox = new QGroupBox(m_contents);
    auto* weights = new QGridLayout(m_weightsBox);
    m_inTitle = new QLabel(m_weightsBox);
    m_outTitle = new QLabel(m_weightsBox);
    m_incoming = new TValueGrid(m_weightsBox);
    m_incoming->SetScale(TValueGrid::Scale::weights);
    m_incoming->SetSelectable(true, false);
    m_incoming->SetCellSize(QSize(line, line));
    m_outgoing = new TValueGrid(m_weightsBox);
    m_outgoing->SetScale(TValueGrid::Scale::weights);
    m_outgoing->SetSelectable(true, false);
    m_outgoing->SetCellSize(QSize(line, line * 2 / 3));
    m_inRange = wrapping(new QLabel(m_weightsBox));
    m_outRange = wrapping(new QLabel(m_weightsBox));
    m_inScale = new TScaleBar(TScaleBar::Scale::weights, m_weightsBox);
    m_outScale = new TScaleBar(TScaleBar::Scale::weights, m_weightsBox);
    weights->addWidget(m_inTitle, 0, 0);
    weights->addWidget(m_outTitle, 0, 1);
    weights->addWidget(m_incoming, 1, 0, Qt::AlignTop | Qt::AlignLeft);
    weights->addWidget(m_outgoing, 1, 1, Qt::AlignTop | Qt::AlignLeft);
    weights->addWidget(m_inRange, 2, 0);
    weights->addWidget(m_outRange, 2, 1);
    weights->addWidget(m_inScale, 3, 0);
    weights->addWidget(m_outScale, 3, 1);
    weights->setRowStretch(4, 1);
    const int rangeWidth = fontMetrics().horizontalAdvance(QStringLiteral("from -0.000000000000000"));
    m_inRange->setMinimumWidth(rangeWidth);
    m_outRange->setMinimumWidth(rangeWidth);
    auto weightRead = [this](bool in, int k) {
        if (k < 0) return readOut(pointing_hint);
        if (in && k < static_cast<int>(m_selectedIn.size()))
            readOut(view::weight_text(m_layer, m_neuron, k, m_selectedIn[k]));
        else if (!in && k < static_cast<int>(m_selectedOut.size()))
            readOut(view::weight_text(m_layer + 1, k, m_neuron, m_selectedOut[k]));
    };
    connect(m_incoming, &TValueGrid::Hovered, this, [weightRead](int k) { weightRead(true, k); });
    connect(m_incoming, &TValueGrid::CurrentChanged, this, [weightRead](int k) { weightRead(true, k); });
    connect(m_outgoing, &TValueGrid::Hovered, this, [weightRead](int j) { weightRead(false, j); });
    connect(m_outgoing, &TValueGrid::CurrentChanged, this, [weightRead](int j) { weightRead(false, j); });
    root->addWidget(m_weightsBox, 0, 2);

    auto* deltasBox = new QGroupBox(QStringLiteral("Deltas of the last learning step"), m_contents);
    auto* deltas = new QVBoxLayout(deltasBox);
    m_deltaScale = new TDeltaScale(deltasBox);
    m_deltaScale->setAccessibleName(QStringLiteral("Deltas of the last learning step"));
    deltas->addWidget(m_deltaScale);
    auto deltaRead = [this](int L) {
        readOut(L < 0 || !m_trained ? pointing_hint : view::layer_delta_text(L, m_deltas[L]));
    };
    connect(m_deltaScale, &TDeltaScale::Hovered, this, deltaRead);
    connect(m_deltaScale, &TDeltaScale::CurrentChanged, this, deltaRead);
    // The learning choices below the deltas they shape.
    m_learning = new TLearningPanel(m_contents);
    auto* right = new QVBoxLayout;
    right->addWidget(deltasBox);
    right->addWidget(m_learning);
    right->addStretch(1);
    root->addLayout(right, 1, 2);

    // Every weight: a map per layer, each on the shared scale or its own.
    auto* heatBox =
        new QGroupBox(QStringLiteral("Every weight: a row per neuron, a column per input"), m_contents);
    auto* heat = new QGridLayout(heatBox);
    const int heatCell[layer_count] = {4, 4, 6};
    for (int L = 0; L < layer_count; ++L) {
        heat->addWidget(
            new QLabel(
                QStringLiteral("%1, %2 x %3").arg(view::layer_title(L)).arg(layer_size[L]).arg(fan_in(L)),
                heatBox),
            0, L);
        auto* map = m_heat[L] = new TValueGrid(heatBox);
        map->SetScale(TValueGrid::Scale::weights);
        map->SetSelectable(true, false);
        map->SetCellSize(QSize(heatCell[L], heatCell[L]));
        map->setAccessibleName(view::layer_title(L) + QStringLiteral(" weights"));
        heat->addWidget(map, 1, L, Qt::AlignTop | Qt::AlignLeft);
        m_heatRange[L] = wrapping(new QLabel(heatBox));
        heat->addWidget(m_heatRange[L], 2, L);
        m_heatScale[L] = new TScaleBar(TScaleBar::Scale::weights, heatBox);
        m_heatScale[L]->setAccessibleName(view::layer_title(L) + QStringLiteral(" weight scale"));
        heat->addWidget(m_heatScale[L], 3, L);
        auto read = [this, L](int i) { readOut(i < 0 ? pointing_hint : heatMapItem(L, i)); };
        connect(map, &TValueGrid::Hovered, this, read);
        connect(map, &TValueGrid::CurrentChanged, this, read);
    }
    // Weights near 0.01 look white on a scale that reaches 0.24: each map on
    // its own range shows their pattern, and is where a student starts.
    m_ownScales =
        new QCheckBox(QStringLiteral("Each map on its own scale (else one scale for all)"), heatBox);
    m_ownScales->setChecked(true);
    connect(m_ownScales, &QCheckBox::toggled, this, [this] {
        showScales();
        showSelected();
    });
    heat->addWidget(m_ownScales, 4, 0, 1, layer_count);
    heat->setColumnStretch(layer_count, 1);
    root->addWidget(heatBox, 1, 0, 1, 2);

    // Along the bottom, in the read-out colours the chart uses, so it never
    // covers a value.
    m_readOut = new QLabel(pointing_hint, this);
    m_readOut->setIndent(8);
    m_readOut->setMinimumHeight(line + 8);
    m_readOut->setAutoFillBackground(true);
    m_readOut->setAccessibleName(QStringLiteral("Read-out"));
    colourReadOut();
    root->setColumnStretch(2, 1);
    scroll->setWidget(m_contents);
    window->addWidget(scroll, 1);
    m_readOut->setContentsMargins(0, 2, 0, 2);
    window->addWidget(m_readOut);

    // Tab visits every panel in reading order; the arrows move inside one.
    QWidget* order[] = {m_layers[0],  m_layers[1], m_layers[2], m_incoming, m_outgoing,
                        m_deltaScale, m_heat[0],   m_heat[1],   m_heat[2],  m_ownScales};
    for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

void TNetworkView::Open() {
    const bool open = isVisible();
    if (!m_placed && parentWidget()) {
        // Beside the form, where it covers none of the cells, list boxes or digit.
        m_placed = true;
        if (m_stale) refresh();  // the texts it will show take their room first
        const QWidget* form = parentWidget();
        if (const QScreen* screen = form->screen()) {
            // All its panels where the screen has room, else what fits.
            // Not shown yet, the view has no frame: it will get one like the form's.
            const QSize frame = form->frameGeometry().size() - form->size();
            // Measured as shown (styled, laid out, the focus given), but not
            // yet on the screen.
            setAttribute(Qt::WA_DontShowOnScreen, true);
            show();
            hide();
            setAttribute(Qt::WA_DontShowOnScreen, false);
            const QSize whole = m_contents->sizeHint() + QSize(0, m_readOut->sizeHint().height());
            const QRect place =
                PlaceBeside(form->frameGeometry(), whole + frame, screen->availableGeometry());
            // The frame goes where placed; the window inside it as in the form's.
            const QPoint inside = form->geometry().topLeft() - form->frameGeometry().topLeft();
            setGeometry(QRect(place.topLeft() + inside, place.size() - frame));
        }
    }
    show();             // refreshes in showEvent when a change came while hidden
    if (open) raise();  // a window just shown is on top already
    activateWindow();
}

void TNetworkView::EngineChanged(bool trained) {
    m_byInput = false;
    m_trained = m_trained || trained;
    m_stale = true;
    if (isVisible()) refresh();
}

void TNetworkView::InputChanged() {
    m_byInput = true;
    m_stale = true;
    if (isVisible()) refresh();
}

void TNetworkView::StartedAgain() {
    m_trained = false;
    InputChanged();
}

void TNetworkView::SetCellsShowInput(bool shown) {
    if (shown == m_cellsShowInput) return;
    m_cellsShowInput = shown;
    if (isVisible()) showInput();
}

void TNetworkView::showEvent(QShowEvent* event) {
    if (m_stale) refresh();
    QWidget::showEvent(event);
}

void TNetworkView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) colourReadOut();
    QWidget::changeEvent(event);
}

void TNetworkView::colourReadOut() {
    const ReadoutColours colours = ReadoutColoursOf(palette());
    QPalette strip = m_readOut->palette();
    strip.setColor(QPalette::Window, colours.background);
    strip.setColor(QPalette::WindowText, colours.text);
    m_readOut->setPalette(strip);
}

void TNetworkView::refresh() {
    m_stale = false;
    m_shown = m_network;  // same sizes after the first time: no allocation
    if (m_byInput) forward_pass(m_shown);
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
    for (const auto& w : m_weights) m_limit = std::max(m_limit, view::weight_limit(w));
    m_winner = winner(m_shown);
    showInput();
    showNeurons();
    showScales();
    showSelected();
    readOut(pointing_hint);  // what it said was of the numbers before
}

void TNetworkView::showInput() {
    std::vector<float> cells(m_shown.input_bit.begin(), m_shown.input_bit.end());
    m_inputPicture->SetValues(cells, cell_rows, cell_columns);
    m_inputTitle->setText(QStringLiteral("Input: ") + view::input_title(m_shown.input_bit).toLower());
    const QString note = view::input_note(m_cellsShowInput, m_shown.input_bit);
    m_inputNote->setText(note);
    m_inputNote->setVisible(!note.isEmpty());
    m_inputPicture->setAccessibleDescription(m_inputTitle->text());
}

std::optional<float> TNetworkView::delta(int layer, int j) const {
    if (!m_trained) return std::nullopt;
    return m_deltas[layer][j];
}

QString TNetworkView::heatMapItem(int layer, int i) const {
    if (i < 0 || i >= static_cast<int>(m_weights[layer].size())) return pointing_hint;
    // Row j is neuron j, column k its input k.
    return view::weight_text(layer, i / fan_in(layer), i % fan_in(layer), m_weights[layer][i]);
}

void TNetworkView::showNeurons() {
    static constexpr int rows[layer_count] = {cell_rows, layer_size[1], layer_size[2]};
    for (int L = 0; L < layer_count; ++L) {
        if (m_shown.layers[L].empty()) continue;
        TValueGrid* grid = m_layers[L];
        grid->SetValues(m_outputs[L], rows[L], layer_size[L] / rows[L]);
        QStringList names;
        for (int j = 0; j < layer_size[L]; ++j)
            names << view::neuron_name(L, j, m_outputs[L][j], delta(L, j));
        grid->SetItemNames(names);

        m_heat[L]->SetValues(m_weights[L], layer_size[L], fan_in(L));
        m_heat[L]->setAccessibleDescription(view::heat_map_description(L, m_weights[L]));
        m_heatRange[L]->setText(view::short_range(m_weights[L]));
    }
    QStringList texts;
    for (int d = 0; d < static_cast<int>(m_outputs[2].size()); ++d)
        texts << QStringLiteral("%1: %2").arg(d).arg(FloatToStr(m_outputs[2][d]));
    m_layers[2]->SetTexts(texts);
    m_layers[2]->SetMarked(m_winner);
    m_recognised->setText(view::winner_text(m_outputs[2], m_winner));

    std::array<std::span<const float>, 3> deltas{m_deltas[0], m_deltas[1], m_deltas[2]};
    m_deltaScale->SetDeltas(deltas, m_trained);
    m_deltaScale->setAccessibleDescription(m_trained ? view::delta_description(deltas.data())
                                                     : QStringLiteral("No training yet"));
}

void TNetworkView::showScales() {
    const bool own = m_ownScales->isChecked();
    for (int L = 0; L < layer_count; ++L) {
        const float limit = own ? view::weight_limit(m_weights[L]) : m_limit;
        m_heat[L]->SetScale(TValueGrid::Scale::weights, limit);
        m_heatScale[L]->SetLimit(limit);
    }
}

void TNetworkView::select(int layer, int neuron) {
    if (layer == m_layer && neuron == m_neuron) return;
    m_layer = layer;
    m_neuron = neuron;
    showSelected();
}

void TNetworkView::showSelected() {
    if (m_shown.layers[m_layer].empty()) return;
    const std::vector<real>& in = m_shown.layers[m_layer][m_neuron].weight;
    m_selectedIn.assign(in.begin(), in.end());
    if (m_layer == 2)
        m_incoming->SetValues(m_selectedIn, layer_size[1], 1);
    else  // both lower layers take 36 inputs that have the cells' 4 x 9 shape
        m_incoming->SetValues(m_selectedIn, cell_rows, cell_columns);

    m_selectedOut.clear();
    if (m_layer + 1 < layer_count)
        for (const neuron& n : m_shown.layers[m_layer + 1]) m_selectedOut.push_back(n.weight[m_neuron]);
    m_outgoing->SetValues(m_selectedOut, static_cast<int>(m_selectedOut.size()), 1);
    m_outgoing->setVisible(!m_selectedOut.empty());

    // In on the scale of this layer's map, out on the next one's, or both on
    // the shared one; each with its legend below it.
    const bool own = m_ownScales->isChecked();
    const float inLimit = own ? view::weight_limit(m_weights[m_layer]) : m_limit;
    m_incoming->SetScale(TValueGrid::Scale::weights, inLimit);
    m_inScale->SetLimit(inLimit);
    if (m_layer + 1 < layer_count) {
        const float outLimit = own ? view::weight_limit(m_weights[m_layer + 1]) : m_limit;
        m_outgoing->SetScale(TValueGrid::Scale::weights, outLimit);
        m_outScale->SetLimit(outLimit);
    }
    m_outScale->setVisible(m_layer + 1 < layer_count);
    for (int L = 0; L < layer_count; ++L) m_layers[L]->SetHighlighted(L == m_layer ? m_neuron : -1);

    const QString whose = view::neuron_title(m_layer, m_neuron);
    m_weightsBox->setTitle(QStringLiteral("Weights of ") + whose.toLower());
    m_inTitle->setText(QStringLiteral("In, from ") + (m_layer == 0
                                                          ? QStringLiteral("the cells")
                                                          : view::layer_name(m_layer - 1).toLower()));
    m_inRange->setText(view::short_range(m_selectedIn));
    if (m_layer + 1 < layer_count) {
        m_outTitle->setText(QStringLiteral("Out, to ") + view::layer_name(m_layer + 1).toLower());
        m_outRange->setText(view::short_range(m_selectedOut));
    } else {
        m_outTitle->setText(QStringLiteral("Out: none"));
        m_outRange->setText(QStringLiteral("Its output is the answer"));
    }
    m_incoming->setAccessibleName(QStringLiteral("Incoming weights of ") + whose.toLower());
    m_incoming->setAccessibleDescription(view::neuron_weights_description(m_layer, true, m_selectedIn));
    m_outgoing->setAccessibleName(QStringLiteral("Outgoing weights of ") + whose.toLower());
    if (!m_selectedOut.empty())
        m_outgoing->setAccessibleDescription(view::neuron_weights_description(m_layer, false, m_selectedOut));
}

void TNetworkView::readOut(const QString& text) { m_readOut->setText(text); }

void TNetworkView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
