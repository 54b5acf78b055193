// The learning step of backprop.h again, on a packed copy of the network laid
// out for SIMD. It produces the same weights, nets, outputs, deltas and errors
// as the plain step, to the bit. Why that holds:
//
// - A sum or product of two floats rounded to float is the same whether it is
//   formed in float, double or extended: both wider formats have more than
//   twice float's 24 bits. So the updates, the output errors and the products
//   with delta_factor run in float lanes.
//
// - A step s + w * x of a running sum (three floats) is formed in extended and
//   rounded to float. Where the extended sum is exact, that is the float
//   nearest to the exact sum, which is what a fused multiply-add gives. The
//   product has at most 48 significant bits and the sum stays within 64 as
//   long as the exponents of s and w * x are not too far apart; the step
//   checks that from the exponents and hands the rare sum where they are to
//   the exact arithmetic. (CPUs with AVX2 or AVX-512.)
//
// - Without a fused multiply-add, the step is formed in double, where w * x is
//   exact, and rounded to float. That can differ from rounding the extended
//   sum only when the double lies exactly halfway between two floats, or is
//   not a normal float; such sums are redone by the exact operations of
//   rounding.h. (SSE2, which every x86-64 CPU has, and the portable step for
//   other CPUs.)
//
// - The sigmoid's quotient 1 / (1 + e) is formed in double, within a few
//   units in its last place of the extended one; a quotient that close to a
//   point halfway between two floats is formed as the plain step forms it.
//   (The tests that stand behind these claims reach the kernels through
//   fast_testing.h.)
//
// - e = exp(-gain * net) is the C library's with SSE2. With AVX2 and
//   AVX-512 the step forms it for a vector of neurons at once, within
//   2.9 * 2^-53 of e^x (three units in its last place); the quotient's guard
//   is wide enough for that, and a guarded neuron is redone with the
//   library's exp.
//
// - pow is the C library's, called with the same arguments.
//
// The neurons of a layer are independent, so the lanes of a vector are
// neurons (or, when deltas are fed back, the neurons below they are fed back
// to); each lane adds its terms in the same order as the plain step.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

#include "learning.h"
#include "training.h"

// The copies of the step, by the widest vectors they use. The portable one
// is plain C++ for any CPU (over double lanes the compiler may vectorise);
// the others are x86-64's: SSE2 runs on any x86-64 CPU, AVX2 and
// AVX-512 only where the CPU has them.
enum class instruction_set { portable, sse2, avx2, avx512 };

bool cpu_supports(instruction_set isa);
instruction_set best_instruction_set();  // the widest the CPU has
const char* name_of(instruction_set isa);

namespace fast_kernel {

// Every packed row is padded to a multiple of 16 lanes, the most floats any
// copy of the step handles at once.
constexpr int padded(int n) { return (n + 15) / 16 * 16; }
inline constexpr int max_row = padded(input_bits);  // no layer or fan-in is wider

// A row of n lanes whose last vector would hold one lane alone (17 = 16 + 1,
// the hidden layer, in every instruction set's vectors) leaves that lane out:
// its weights lie in one row of the other layout, and the running sums read
// them from there. So they are stored and updated once, not once per row.
constexpr bool last_alone(int n) { return n > 1 && n % 16 == 1; }
constexpr int stored_lanes(int n) { return last_alone(n) ? n - 1 : n; }

// Keeps packed rows on 64-byte boundaries, where whole vectors load fastest.
template <class T>
struct row_allocator {
    using value_type = T;
    static constexpr std::align_val_t alignment{64};
    row_allocator() = default;
    template <class U>
    row_allocator(const row_allocator<U>&) {}
    T* allocate(std::size_t n) { return static_cast<T*>(::operator new(n * sizeof(T), alignment)); }
    void deallocate(T* p, std::size_t) { ::operator delete(p, alignment); }
    bool operator==(const row_allocator&) const = default;
};

}  // namespace fast_kernel

using row_vector = std::vector<real, fast_kernel::row_allocator<real>>;
// A network's weights and neuron values, packed at the start of a run and
// written back at its end; present() is present_pattern on the packed form.
class fast_learner {
public:
    // Packs nw, which must have been through init_network. Throws
    // std::invalid_argument if it has not, or if the CPU lacks isa.
    explicit fast_learner(const network& nw, instruction_set isa = best_instruction_set());

    // Learns the pattern in nw.input_bit (number nw.pattern_index) once, as
    // present_pattern(nw) would, and returns its error. nw itself is not touched.
    real present(const network& nw);

    // Puts every weight, net, output and delta into nw's neurons.
    void write_back(network& nw) const noexcept;

    // Running sums and sigmoids formed in extended precision so far.
    struct redone_counts {
        std::int64_t sums = 0, sigmoids = 0;
    };
    redone_counts redone() const { return redone_; }

    instruction_set isa() const { return isa_; }

    // The rule and the rate of every step from now on (the start is not the
    // step's): the design unless set.
    void learn_with(const learning& how) { how_ = how; }

    // Where the step's time goes, for the benchmark: seconds spent in each
    // part of present() since timing was turned on. With timing on, the step
    // reads the CPU's time-stamp counter (elsewhere than on x86-64, a
    // nanosecond clock) between its parts and takes what a read costs off
    // again; off (the default), it reads nothing. The timed step is one of
    // the testing kernels: these two are defined with them (fast_testing.cpp,
    // in the fast_testing library), and the program never calls them.
    struct phase_times {
        double forward = 0;   // the nets of the forward pass
        double sigmoids = 0;  // the outputs from the nets
        double deltas = 0;    // the pattern's error, the output deltas and those fed back
        double updates = 0;   // the weights
    };
    void time_phases(bool on);
    phase_times phases() const;

private:
    friend struct fast_step;  // the step itself, one copy per instruction set (fast_step.h)

    // One layer. by_input[k * stride + j] is weight k of neuron j: lanes are
    // neurons, for the forward pass and the update. by_neuron[j * input_stride
    // + k] is the same weight with inputs as lanes, for feeding deltas back;
    // the input layer has nothing below it to feed back to and keeps none.
    // by_input holds the neurons j < stored_lanes(layer_size[L]), by_neuron
    // the inputs k < stored_lanes(fan_in(L)); the hidden layer's last neuron
    // is in its by_neuron only, the output layer's last input in its by_input
    // only. Both end with max_row floats of slack for a vector read of a row.
    struct layer {
        row_vector by_input, by_neuron;
        row_vector net, output, delta;  // [stride]
    };

    std::array<layer, layer_count> layers_;
    redone_counts redone_;
    learning how_;
    instruction_set isa_;
    real (*present_)(fast_learner& learner, const network& nw);  // the step of isa_, timed or not

    // Counter ticks per part (forward, sigmoids, deltas, updates), and
    // what the counter and the clock read when timing was turned on.
    std::array<std::int64_t, 4> phase_ticks_{};
    std::int64_t read_cost_ = 0, ticks_at_start_ = 0;
    double seconds_at_start_ = 0;
};

// The training run of training.h on a learner the caller packed from nw (to
// read its counts afterwards). The learner writes its state back into nw when
// the run ends, however it ends, so nw is left as the plain step would leave it.
void train_network(network& nw, training_display& display, fast_learner& learner);

// One whole training run on nw, continuing from its present weights, on a
// fast_learner packed from nw: the program's way of training. Every weight,
// net, output, delta and error is the one train_network_plain gives.
void train_network(network& nw, training_display& display);

// The same run with the chosen rule and rate (learning.h): every weight,
// net, output, delta and error is the one train_network_plain(nw,
// display, how) gives.
void train_network(network& nw, training_display& display, const learning& how);
