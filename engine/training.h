// A training run: epoch after epoch the ten digits in the order 0..9, each
// presented and learnt, until every error of an epoch is within error_limit or
// epoch 10000 has run. What the run shows goes out through training_display,
// so the window plugs in its chart, list boxes and message box, and tests and
// benchmarks plug in recorders. The program's own run, on the fast step, is
// in fast/fast_engine.h.
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
    // The network holds what the run learnt by then.
    virtual void show_end(int train_number) = 0;
};

// Hands a report to the display if nw.train_number is a report epoch.
void report_progress(const network& nw, const epoch_errors& errors, training_display& display);

// Learns the pattern already in input_bit (number nw.pattern_index) once:
// forward_pass, compute_delta, update_weight; returns its error as measured
// before the update.
real present_pattern(network& nw);

// The epoch loop of every run: present(nw) learns the pattern in
// nw.input_bit (number nw.pattern_index) once and returns its error.
template <class Presenter>
void run_epochs(network& nw, training_display& display, Presenter present) {
    nw.train_number = 0;
    for (bool stopped = false; !stopped; ++nw.train_number) {
        epoch_errors epoch_error{};
        for (nw.pattern_index = 0; nw.pattern_index < digit_count; ++nw.pattern_index) {
            load_pattern(nw, nw.pattern_index);
            epoch_error[nw.pattern_index] = present(nw);
            display.add_point(nw.pattern_index, nw.train_number, epoch_error[nw.pattern_index]);
        }
        report_progress(nw, epoch_error, display);
        if (converged(epoch_error) || nw.train_number > epoch_limit) {
            stopped = true;
            display.show_end(nw.train_number);
        }
    }
}

// The plain run: present_pattern on nw, one step after another.
void train_network_plain(network& nw, training_display& display);
