// A window that shows inside the network: every neuron's output for the
// current input, the weights of the neuron pointed at or focused, every
// layer's weights as a heat map and the deltas of the last learning step.
// It belongs to the form, opens on request and shows a copy of the network
// it is given, so nothing it does reaches the engine's state. Its parts are
// laid out by Qt's layouts and sized from the font.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QWidget>
#include <array>
#include <vector>

#include "network.h"
#include "tdeltascale.h"
#include "tlearningpanel.h"
#include "tscalebar.h"
#include "tvaluegrid.h"

class QGroupBox;

class TNetworkView : public QWidget {
    Q_OBJECT
public:
    // A window of its own above `form`, hidden until Open, showing `nw`.
    TNetworkView(QWidget* form, const network& nw);

    // Shows the window (built already, so only its numbers are brought up
    // to date) and brings it to the front. The first time it goes beside
    // the form where the screen has room, else where it covers the form least.
    void Open();

    // What the view shows follows the last of these: the numbers "Test" or
    // "Train" has just left in the network, as they are ...
    void EngineChanged(bool trained);
    // ... or its input_bit, passed forward through a copy of the network.
    void InputChanged();
    // New weights, no deltas: shown as before any training.
    void StartedAgain();
    // Whether the form's cells show the network's input_bit; after "Train"
    // they need not, and the view says why.
    void SetCellsShowInput(bool shown);

    // The network as shown, and the neuron whose weights are shown.
    const network& Shown() const { return m_shown; }
    int SelectedLayer() const { return m_layer; }
    int SelectedNeuron() const { return m_neuron; }
    TValueGrid* Layer(int L) const { return m_layers[L]; }
    TValueGrid* Incoming() const { return m_incoming; }
    TValueGrid* Outgoing() const { return m_outgoing; }
    TValueGrid* HeatMap(int L) const { return m_heat[L]; }
    TScaleBar* HeatMapScale(int L) const { return m_heatScale[L]; }
    TDeltaScale* Deltas() const { return m_deltaScale; }
    TValueGrid* InputPicture() const { return m_inputPicture; }
    QCheckBox* OwnScales() const { return m_ownScales; }
    QString InputTitle() const { return m_inputTitle->text(); }
    QString InputNote() const { return m_inputNote->text(); }
    QString Recognised() const { return m_recognised->text(); }
    QString ReadOut() const { return m_readOut->text(); }
    TLearningPanel* LearningPanel() const { return m_learning; }
    // The panels, inside the area that scrolls.
    QWidget* Contents() const { return m_contents; }

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void refresh();       // from the network, as the last change asks
    void showNeurons();   // every grid from m_shown
    void showSelected();  // the selected neuron's weights
    void showScales();    // the weight maps' ranges, shared or each its own
    void showInput();
    void select(int layer, int neuron);
    void readOut(const QString& text);
    void colourReadOut();
    std::optional<float> delta(int layer, int j) const;
    QString heatMapItem(int layer, int i) const;

    const network& m_network;
    network m_shown;
    bool m_byInput = true;  // the last change was to the input: pass it forward
    bool m_trained = false;
    bool m_stale = true;    // a change came while the window was hidden
    bool m_placed = false;  // put beside the form once
    bool m_cellsShowInput = true;

    std::array<std::vector<float>, layer_count> m_outputs;
    std::array<std::vector<float>, layer_count> m_deltas;
    std::array<std::vector<float>, layer_count> m_weights;  // row j: neuron j's weights
    std::vector<float> m_selectedIn;
    std::vector<float> m_selectedOut;
    float m_limit = 1;  // the largest |weight| of the network: the shared scale's full colour
    int m_winner = -1;
    int m_layer = 1;
    int m_neuron = 0;

    QWidget* m_contents = nullptr;
    QLabel* m_inputTitle = nullptr;
    QLabel* m_inputNote = nullptr;
    TValueGrid* m_inputPicture = nullptr;
    std::array<TValueGrid*, layer_count> m_layers{};
    QLabel* m_recognised = nullptr;
    QGroupBox* m_weightsBox = nullptr;
    QLabel* m_inTitle = nullptr;
    QLabel* m_outTitle = nullptr;
    QLabel* m_inRange = nullptr;
    QLabel* m_outRange = nullptr;
    TValueGrid* m_incoming = nullptr;
    TValueGrid* m_outgoing = nullptr;
    TScaleBar* m_inScale = nullptr;
    TScaleBar* m_outScale = nullptr;
    std::array<TValueGrid*, layer_count> m_heat{};
    std::array<QLabel*, layer_count> m_heatRange{};
    std::array<TScaleBar*, layer_count> m_heatScale{};
    QCheckBox* m_ownScales = nullptr;
    TDeltaScale* m_deltaScale = nullptr;
    QLabel* m_readOut = nullptr;
    TLearningPanel* m_learning = nullptr;
};
