#include "training.h"

#include <algorithm>

#include "fast_engine.h"

void report_progress(const network& nw, const epoch_errors& errors, training_display& display) {
    if (std::ranges::find(report_epochs, nw.train_number) != report_epochs.end())
        display.write_report(errors);
}

real present_pattern(network& nw) {
    forward_pass(nw);
    compute_delta(nw);
    update_weight(nw);
    return static_cast<real>(pattern_error(nw));
}

namespace {

// The epoch loop, the same for every way of learning a pattern: present(nw)
// learns the pattern in nw.input_bit once and returns its error.
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

}  // namespace

void train_network(network& nw, training_display& display) {
    fast_learner learner(nw);
    train_network(nw, display, learner);
}

void train_network(network& nw, training_display& display, fast_learner& learner) {
    // The display may throw (a failed allocation in the chart, say); the
    // weights learnt up to then still belong in nw.
    struct write_back_on_exit {
        const fast_learner& learner;
        network& nw;
        ~write_back_on_exit() { learner.write_back(nw); }
    } guard{learner, nw};
    run_epochs(nw, display, [&learner](const network& n) { return learner.present(n); });
}

void train_network(network& nw, training_display& display, presenter present) {
    run_epochs(nw, display, present);
}

void train_network_reference(network& nw, training_display& display) {
    train_network(nw, display, present_pattern);
}
