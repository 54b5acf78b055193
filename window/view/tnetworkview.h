// A window that shows inside the network: every neuron's output for the
// current input, the weights of the neuron pointed at or focused, every
// layer's weights as a heat map and the deltas of the last learning step.
// It belongs to the form, opens on request and shows a copy of the network,
// so nothing it does reaches the engine's state.
#pragma once

#include <QLabel>
#include <QWidget>
#include <array>
#include <vector>

#include "network.h"
#include "tdeltascale.h"
#include "tlearningpanel.h"
#include "tvaluegrid.h"

class TNetworkView : public QWidget {
    Q_OBJECT
public:
    // A window of its own above `form`, hidden until Open.
    explicit TNetworkView(QWidget* form);

    // Shows the window (built already, so only its numbers are brought up
    // to date) and brings it to the front.
    void Open();

    // What the view shows follows the last of these: the numbers "Test" or
    // "Train" has just left in the_network, as they are ...
    void EngineChanged(bool trained);
    // ... or input_bit, passed forward through a copy of the network.
    void InputChanged();
    // New weights, no deltas: shown as before any training.
    void StartedAgain();

    // The network as shown, and the neuron whose weights are shown.
    const network& Shown() const { return m_shown; }
    int SelectedLayer() const { return m_layer; }
    int SelectedNeuron() const { return m_neuron; }
    TValueGrid* Layer(int L) const { return m_layers[L]; }
    TValueGrid* Incoming() const { return m_incoming; }
    TValueGrid* Outgoing() const { return m_outgoing; }
    TValueGrid* HeatMap(int L) const { return m_heat[L]; }
    TDeltaScale* Deltas() const { return m_deltaScale; }
    QString ReadOut() const { return m_readOut->text(); }
    TLearningPanel* LearningPanel() const { return m_learning; }

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void refresh();       // from the_network, as the last change asks
    void showNeurons();   // every grid from m_shown
    void showSelected();  // the selected neuron's weights
    void select(int layer, int neuron);
    void readOut(const QString& text);
    std::optional<float> delta(int layer, int j) const;

    network m_shown;
    bool m_byInput = true;  // the last change was to the input: pass it forward
    bool m_trained = false;
    bool m_stale = true;    // a change came while the window was hidden

    std::array<std::vector<float>, layer_count> m_outputs;
    std::array<std::vector<float>, layer_count> m_deltas;
    std::array<std::vector<float>, layer_count> m_weights;  // row j: neuron j's weights
    std::vector<float> m_selectedIn;
    std::vector<float> m_selectedOut;
    float m_limit = 1;  // the largest |weight| of the network: the weight maps' full colour
    int m_winner = -1;
    int m_layer = 1;
    int m_neuron = 0;

    std::array<TValueGrid*, layer_count> m_layers{};
    TValueGrid* m_incoming = nullptr;
    TValueGrid* m_outgoing = nullptr;
    std::array<TValueGrid*, layer_count> m_heat{};
    TDeltaScale* m_deltaScale = nullptr;
    QLabel* m_readOut = nullptr;
    TLearningPanel* m_learning = nullptr;
};
