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

void train_network(network& nw, training_display& display, presenter present) {
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
