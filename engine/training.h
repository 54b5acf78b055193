// A training run: epoch after epoch the ten digits in the order 0..9, each
// presented and learnt, until every error of an epoch is within error_limit or
// epoch 10000 has run. What the run shows goes out through training_display,
// so the window plugs in its chart, list boxes and message box, and tests and
// benchmarks plug in recorders.
#pragma once

#include "backprop.h"

inline constexpr int epoch_limit = 9999;  // the run stops after the first epoch above this
inline constexpr std::array<int, 3> report_epochs = {0, 5000, 9999};

class training_display {
public:
    virtual ~training_display() = default;
    // The error of one pattern in one epoch: a point of that pattern's curve.
    virtual void add_point(int pattern_index, int epoch, real error) = 0;
    // The ten errors of a report epoch.
    virtual void write_report(const epoch_errors& errors) = 0;
    // The run has stopped; train_number is the number of its last epoch.
    virtual void show_end(int train_number) = 0;
};

// Hands a report to the display if nw.train_number is a report epoch.
void report_progress(const network& nw, const epoch_errors& errors, training_display& display);

// Learns the pattern already in input_bit (number nw.pattern_index) once:
// forward_pass, compute_delta, update_weight; returns its error as measured
// before the update.
using presenter = real (*)(network& nw);
real present_pattern(network& nw);

// One whole training run on nw, continuing from its present weights, on a
// fast_learner (fast_engine.h) packed from nw: the program's way of training.
// Every weight, net, output, delta and error is the one
// train_network_reference gives.
void train_network(network& nw, training_display& display);

// The same run with each pattern learnt by present on nw itself.
void train_network(network& nw, training_display& display, presenter present);

// The plain run: present_pattern on nw, one step after another.
void train_network_reference(network& nw, training_display& display);
