#include "training.h"

#include <algorithm>

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

void train_network_plain(network& nw, training_display& display) { run_epochs(nw, display, present_pattern); }
