// What the fast step shares across instruction sets: the choice of
// instruction set, the redone lanes in plain arithmetic, the learner's
// packing and the program's training run. The step itself is in
// fast_step.h, over the kernels of fast_kernels.h, compiled once per
// instruction set into the table of portable.cpp, and on x86-64 of sse2.cpp,
// avx2.cpp and avx512.cpp.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <stdexcept>

#include "fast_step.h"

using fast_kernel::max_row;
using fast_kernel::padded;

bool cpu_supports(instruction_set isa) {
#if DIGITS_X86_64
    switch (isa) {
        case instruction_set::portable:
        case instruction_set::sse2: return true;
        case instruction_set::avx2: return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
        case instruction_set::avx512:
            return __builtin_cpu_supports("avx512f") && cpu_supports(instruction_set::avx2);
    }
    return false;
#else
    return isa == instruction_set::portable;
#endif
}

instruction_set best_instruction_set() {
    for (instruction_set isa : {instruction_set::avx512, instruction_set::avx2, instruction_set::sse2})
        if (cpu_supports(isa)) return isa;
    return instruction_set::portable;
}

const char* name_of(instruction_set isa) {
    switch (isa) {
        case instruction_set::portable: return "portable";
        case instruction_set::sse2: return "sse2";
        case instruction_set::avx2: return "avx2";
        case instruction_set::avx512: return "avx512";
    }
    return "?";
}

const fast_kernel::kernel_table& fast_kernel::kernels_of(instruction_set isa) {
    if (!cpu_supports(isa)) throw std::invalid_argument("the CPU lacks this instruction set");
#if DIGITS_X86_64
    switch (isa) {
        case instruction_set::sse2: return sse2_kernels;
        case instruction_set::avx2: return avx2_kernels;
        case instruction_set::avx512: return avx512_kernels;
        case instruction_set::portable: break;
    }
#endif
    return portable_kernels;
}

std::int64_t fast_kernel::ticks() {
#if DIGITS_X86_64
    return static_cast<std::int64_t>(__builtin_ia32_rdtsc());
#else
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
#endif
}

[[gnu::noinline]] real fast_kernel::plain_sum(const real* w, int stride, const real* x, int n) {
    real s = 0.0f;
    for (int k = 0; k < n; ++k) s = running_sum_step(s, w[k * stride], x[k]);
    return s;
}

[[gnu::noinline]] void fast_kernel::plain_sums_of_cells(const real* w, int stride, const bit_map& cells,
                                                        real* net) {
    for (int j = 0; j < layer_size[0]; ++j) {
        real s = 0.0f;
        for (int k = 0; k < input_bits; ++k) s = running_sum_step(s, w[k * stride + j], cells[k]);
        net[j] = s;
    }
}

[[gnu::noinline]] real fast_kernel::plain_sigmoid_of_exp(double e) { return sigmoid_of_exp(e); }

[[gnu::noinline]] real fast_kernel::plain_sigmoid(real net) { return sigmoid(net); }

fast_learner::fast_learner(const network& nw, instruction_set isa) : isa_(isa) {
    if (!cpu_supports(isa)) throw std::invalid_argument("fast_learner: the CPU lacks this instruction set");
    present_ = fast_kernel::kernels_of(isa).present;
    for (int L = 0; L < layer_count; ++L) {
        if (static_cast<int>(nw.layers[L].size()) != layer_size[L])
            throw std::invalid_argument("fast_learner: the network has not been through init_network");
        const int stride = fast_step::neuron_stride(L), input_stride = fast_step::input_stride(L);
        const int neurons = fast_kernel::stored_lanes(layer_size[L]),
                  inputs = fast_kernel::stored_lanes(fan_in(L));
        layer& p = layers_[L];
        p.by_input.assign(fan_in(L) * stride + max_row, 0.0f);
        if (L > 0) p.by_neuron.assign(layer_size[L] * input_stride + max_row, 0.0f);
        p.net.assign(padded(layer_size[L]), 0.0f);
        p.output.assign(padded(layer_size[L]), 0.0f);
        p.delta.assign(padded(layer_size[L]), 0.0f);
        for (int j = 0; j < layer_size[L]; ++j) {
            const neuron& n = nw.layers[L][j];
            if (static_cast<int>(n.weight.size()) != fan_in(L))
                throw std::invalid_argument("fast_learner: a neuron has the wrong number of weights");
            for (int k = 0; k < fan_in(L); ++k) {
                if (j < neurons) p.by_input[k * stride + j] = n.weight[k];
                if (L > 0 && k < inputs) p.by_neuron[j * input_stride + k] = n.weight[k];
            }
            p.net[j] = n.net;
            p.output[j] = n.output;
            p.delta[j] = n.delta;
        }
    }
}

real fast_learner::present(const network& nw) { return present_(*this, nw); }

void fast_learner::write_back(network& nw) const noexcept {
    for (int L = 0; L < layer_count; ++L) {
        const layer& p = layers_[L];
        const int stride = fast_step::neuron_stride(L), input_stride = fast_step::input_stride(L);
        for (int j = 0; j < layer_size[L]; ++j) {
            neuron& n = nw.layers[L][j];
            for (int k = 0; k < fan_in(L); ++k)
                n.weight[k] = j < fast_kernel::stored_lanes(layer_size[L])
                                  ? p.by_input[k * stride + j]
                                  : p.by_neuron[j * input_stride + k];
            n.net = p.net[j];
            n.output = p.output[j];
            n.delta = p.delta[j];
        }
    }
}

void train_network(network& nw, training_display& display, fast_learner& learner) {
    // The display may throw (a failed allocation in the chart, say); the
    // weights learnt up to then still belong in nw.
    struct write_back_on_exit {
        const fast_learner& learner;
        network& nw;
        ~write_back_on_exit() { learner.write_back(nw); }
    } guard{learner, nw};
    // The end is shown with nw as learnt: a window may show the weights then.
    class written_back_at_end final : public training_display {
    public:
        written_back_at_end(training_display& display, const fast_learner& learner, network& nw)
            : display_(display), learner_(learner), nw_(nw) {}
        void add_point(int pattern_index, int epoch, real error) override {
            display_.add_point(pattern_index, epoch, error);
        }
        void write_report(const epoch_errors& errors) override { display_.write_report(errors); }
        void show_end(int train_number) override {
            learner_.write_back(nw_);
            display_.show_end(train_number);
        }

    private:
        training_display& display_;
        const fast_learner& learner_;
        network& nw_;
    } shown{display, learner, nw};
    run_epochs(nw, shown, [&learner](const network& n) { return learner.present(n); });
}

void train_network(network& nw, training_display& display) {
    fast_learner learner(nw);
    train_network(nw, display, learner);
}

void train_network(network& nw, training_display& display, const learning& how) {
    fast_learner learner(nw);
    learner.learn_with(how);
    train_network(nw, display, learner);
}
