#include "recognition.h"

int winner(const network& nw) {
    real best_output = winner_threshold;
    int best = -1;
    for (int k = 0; k < digit_count; ++k) {
        const real output = nw.layers[2][k].output;
        if (output > best_output) {
            best = k;
            best_output = output;
        }
    }
    return best;
}
