#include "random_stream.h"

#include <cmath>

double random_stream::uniform() { return static_cast<double>(engine_() >> 11) * 0x1.0p-53; }

extended random_stream::RandG(double mean, double sd) {
    double z;
    if (has_spare_) {
        z = spare_;
        has_spare_ = false;
    } else {
        double u, v, s;
        do {
            u = 2.0 * uniform() - 1.0;
            v = 2.0 * uniform() - 1.0;
            s = u * u + v * v;
        } while (s >= 1.0 || s == 0.0);
        const double scale = std::sqrt(-2.0 * std::log(s) / s);
        z = u * scale;
        spare_ = v * scale;
        has_spare_ = true;
    }
    return extended_sum(extended::of(mean), extended_product(extended::of(sd), extended::of(z)));
}
