#include "core/epoch_kernel.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <random>

#include <sys/resource.h>
#include <unistd.h>

#include "core/epoch_group.h"
#include "tests/literal_reference.h"

namespace {

using core::ArithStatus;

std::uint64_t bits(double v) {
    return std::bit_cast<std::uint64_t>(v);
}

enum class Kind { Binary, Bipolar, Real, Sparse, SignedZeros };

struct Problem {
    core::PublicStuff net;
    reference::Net ref;
    Problem(int in, int out, int patterns, Kind kind, double rate, std::uint64_t seed)
        : ref(in, out, patterns) {
        std::mt19937_64 rng(seed);
        std::uniform_real_distribution<double> real(-2.0, 2.0);
        auto value = [&]() -> double {
            switch (kind) {
                case Kind::Binary:
                    return static_cast<double>(rng() & 1);
                case Kind::Bipolar:
                    return (rng() & 1) ? 1.0 : -1.0;
                case Kind::Real:
                    return real(rng) / std::sqrt(static_cast<double>(in));
                case Kind::Sparse:
                    return rng() % 5 == 0 ? real(rng) : 0.0;
                case Kind::SignedZeros:
                    return rng() % 3 == 0 ? -0.0 : (rng() % 2 ? 0.0 : 0.5);
            }
            return 0.0;
        };
        net.NumInputs = in;
        net.NumOutputs = out;
        net.NumPatterns = patterns;
        net.InputPatterns = core::PatternTable(in, patterns);
        net.DesiredOutputs = core::PatternTable(out, patterns);
        for (int p = 1; p <= patterns; ++p) {
            for (int i = 1; i <= in; ++i)
                ref.x[p][i] = net.InputPatterns(i, p) = value();
            for (int j = 1; j <= out; ++j)
                ref.d[p][j] = net.DesiredOutputs(j, p) = value();
        }
        net.CreateUnitsAndWeights();
        net.LearningRate = ref.rate = rate;
    }

    // One epoch of the literal arithmetic; returns its total SSE.
    double referenceEpoch(bool hebb) {
        double total = 0.0;
        for (int p = 1; p <= net.NumPatterns; ++p) {
            hebb ? ref.LearnHebb(p) : ref.LearnDelta(p);
            ref.ComputeResponses(p);
            total = total + ref.PatternSSE();
        }
        return total;
    }

    // Trains `epochs` epochs with the kernel and the literal arithmetic side by side: each
    // epoch's total must match, and the whole network after the last.
    void expectSameTraining(core::EpochKernel& kernel, bool hebb, int epochs) {
        for (int epoch = 0; epoch < epochs; ++epoch) {
            ASSERT_EQ(kernel.trainEpoch(net, hebb), ArithStatus::Ok);
            ASSERT_EQ(bits(net.TotalSSE), bits(referenceEpoch(hebb)));
        }
        expectSameNetwork();
    }

    void expectSameNetwork() const {
        for (int i = 1; i <= net.NumInputs; ++i) {
            ASSERT_EQ(bits(net.InputUnits[i].Activation), bits(ref.inUnits[i].Activation));
            for (int j = 1; j <= net.NumOutputs; ++j) {
                ASSERT_EQ(bits(net.Weights.Weight(j, i)), bits(ref.w[j][i].Weight))
                    << j << "," << i;
                ASSERT_EQ(bits(net.Weights.Change(j, i)), bits(ref.w[j][i].Change))
                    << j << "," << i;
            }
        }
        for (int j = 1; j <= net.NumOutputs; ++j) {
            ASSERT_EQ(bits(net.OutputUnits[j].NetInput), bits(ref.outUnits[j].NetInput));
            ASSERT_EQ(bits(net.OutputUnits[j].Activation), bits(ref.outUnits[j].NetInput));
            ASSERT_EQ(bits(net.OutputUnits[j].Error), bits(ref.outUnits[j].Error));
        }
    }
};

TEST(EpochKernel, EveryInstructionSetMatchesTheLiteralArithmeticBitForBit) {
    // Output counts around the block of eight and the group of four blocks; 96 x 80 x 560
    // is large enough for the kernel to use threads.
    const int sizes[][3] = {{1, 1, 1},   {3, 7, 2},  {5, 8, 3},   {9, 9, 4},
                            {17, 33, 5}, {4, 40, 1}, {31, 65, 7}, {96, 80, 560}};
    std::uint64_t seed = 1;
    for (const auto& size : sizes) {
        for (Kind kind :
             {Kind::Binary, Kind::Bipolar, Kind::Real, Kind::Sparse, Kind::SignedZeros}) {
            for (double rate : {0.0, 0.05, 0.3, -0.0}) {
                for (bool hebb : {false, true}) {
                    for (int threads : {1, 2}) {
                        if (size[2] > 100 && (kind == Kind::SignedZeros || rate != 0.05))
                            continue;
                        for (const core::epoch::Kernels* kernels :
                             core::epoch::SupportedKernels()) {
                            SCOPED_TRACE(testing::Message()
                                         << kernels->instructionSet << " " << size[0] << "x"
                                         << size[1] << "x" << size[2] << " kind "
                                         << static_cast<int>(kind) << " rate " << rate
                                         << (hebb ? " Hebb" : " Delta") << " threads " << threads);
                            Problem problem(size[0], size[1], size[2], kind, rate, ++seed);
                            core::EpochKernel kernel(threads, *kernels, 0);
                            problem.expectSameTraining(kernel, hebb, 3);
                        }
                    }
                }
            }
        }
    }
}

TEST(EpochKernel, EveryInstructionSetAndGroupSizeGivesTheSameBits) {
    // 70 outputs are nine blocks: every group size leaves a different partial group.
    const int sizes[][3] = {{13, 20, 5}, {40, 70, 6}, {96, 80, 560}};
    std::uint64_t seed = 500;
    for (const core::epoch::Kernels* kernels : core::epoch::SupportedKernels()) {
        for (int groupBlocks = 1; groupBlocks <= core::epoch::GroupBlocks; ++groupBlocks) {
            for (const auto& size : sizes) {
                for (Kind kind : {Kind::Real, Kind::SignedZeros}) {
                    for (bool hebb : {false, true}) {
                        const bool large = size[2] > 100;
                        if (large && kind != Kind::Real)
                            continue;
                        SCOPED_TRACE(testing::Message()
                                     << kernels->instructionSet << " blocks " << groupBlocks << " "
                                     << size[0] << "x" << size[1] << "x" << size[2] << " kind "
                                     << static_cast<int>(kind) << (hebb ? " Hebb" : " Delta"));
                        Problem problem(size[0], size[1], size[2], kind, 0.05, ++seed);
                        core::EpochKernel kernel(large ? 2 : 1, *kernels, groupBlocks);
                        problem.expectSameTraining(kernel, hebb, 3);
                    }
                }
            }
        }
    }
}

TEST(CpuPath, APathTheProcessorLacksIsRefusedWithTheOnesItRuns) {
    const std::vector<core::CpuPath> noAvx512{core::CpuPath::Avx2, core::CpuPath::Baseline};
    EXPECT_EQ(core::CpuPathProblem("avx512", noAvx512),
              "--cpu avx512: this processor lacks its instructions; it runs avx2, baseline");
    EXPECT_EQ(core::CpuPathProblem("avx2", noAvx512), "");
    EXPECT_EQ(core::CpuPathProblem("AVX2", noAvx512),
              "--cpu takes avx512, avx2 or baseline, not \"AVX2\"");
    // Kernels made after a choice take it.
    for (const core::CpuPath path : core::CpuPaths()) {
        ASSERT_TRUE(core::ChooseCpuPath(path));
        EXPECT_EQ(&core::epoch::ChosenKernels(), &core::epoch::KernelsFor(path));
    }
    ASSERT_TRUE(core::ChooseCpuPath(core::CpuPaths().front()));
    // Choosing is refused the same way, and leaves the path as it was.
    for (const core::CpuPath path : {core::CpuPath::Avx512, core::CpuPath::Avx2}) {
        if (!core::CpuHas(path)) {
            const core::CpuPath before = core::ChosenCpuPath();
            EXPECT_FALSE(core::ChooseCpuPath(path));
            EXPECT_EQ(core::ChosenCpuPath(), before);
        }
    }
}

TEST(EpochKernel, SkippedZeroInputsLeaveNegativeZeroWeightsAsThePlainStepDoes) {
    // Passes skip inputs that are zero, which is exact only while no weight is -0: a
    // plain step turns -0 + 0 * out into +0. Weights that start at -0 must get that.
    for (bool hebb : {false, true}) {
        SCOPED_TRACE(hebb ? "Hebb" : "Delta");
        Problem problem(24, 10, 6, Kind::Sparse, 0.05, 77);
        for (int j = 1; j <= 10; ++j) {
            for (int i = 1; i <= 24; i += 2) {
                problem.net.Weights.setWeight(j, i, -0.0);
                problem.ref.w[j][i].Weight = -0.0;
            }
        }
        core::EpochKernel kernel(1);
        problem.expectSameTraining(kernel, hebb, 2);
    }
}

TEST(EpochKernel, EpochsProvenSafeNeverOverflowAndOthersUndoExactly) {
    // Values from ordinary to 1e150 and rates up to 2 put epochs on both sides of the
    // limit of double precision. An epoch the kernel proved safe must not overflow (it
    // keeps no snapshot to undo one); every other overflow must leave the network as it
    // was; every completed epoch must equal the literal arithmetic.
    std::mt19937_64 rng(2024);
    int proven = 0;
    int overflows = 0;
    for (int trial = 0; trial < 200; ++trial) {
        const bool hebb = trial % 2 == 1;
        const double rate = std::array{0.01, 0.3, 2.0}[rng() % 3];
        const double inputScale = std::pow(10.0, static_cast<double>(rng() % 160));
        const double desiredScale = std::pow(10.0, static_cast<double>(rng() % 160));
        SCOPED_TRACE(testing::Message() << "trial " << trial << " rate " << rate << " inputs "
                                        << inputScale << " desired " << desiredScale);
        Problem problem(5, 9, 4, Kind::Real, rate, 900 + static_cast<std::uint64_t>(trial));
        for (int p = 1; p <= 4; ++p) {
            for (int i = 1; i <= 5; ++i)
                problem.ref.x[p][i] = problem.net.InputPatterns(i, p) *= inputScale;
            for (int j = 1; j <= 9; ++j)
                problem.ref.d[p][j] = problem.net.DesiredOutputs(j, p) *= desiredScale;
        }
        core::EpochKernel kernel(1);
        for (int epoch = 0; epoch < 12; ++epoch) {
            const core::PublicStuff before = problem.net;
            const ArithStatus status = kernel.trainEpoch(problem.net, hebb);
            if (status == ArithStatus::Overflow) {
                ASSERT_FALSE(kernel.lastEpochProvenSafe());
                ++overflows;
                ASSERT_EQ(bits(problem.net.TotalSSE), bits(before.TotalSSE));
                for (int j = 1; j <= 9; ++j)
                    for (int i = 1; i <= 5; ++i)
                        ASSERT_EQ(bits(problem.net.Weights.Weight(j, i)),
                                  bits(before.Weights.Weight(j, i)));
                break;
            }
            ASSERT_EQ(status, ArithStatus::Ok);
            proven += kernel.lastEpochProvenSafe() ? 1 : 0;
            ASSERT_EQ(bits(problem.net.TotalSSE), bits(problem.referenceEpoch(hebb)));
        }
    }
    // Both sides were reached.
    EXPECT_GT(proven, 100);
    EXPECT_GT(overflows, 10);
}

TEST(EpochKernel, OrdinaryTrainingKeepsNoSnapshot) {
    // Bipolar inputs of unit length, targets within 1, a common rate: every epoch is
    // proven safe, so the kernel holds no copy of the weights.
    for (bool hebb : {false, true}) {
        Problem problem(64, 48, 20, Kind::Bipolar, 0.1, 31);
        for (int p = 1; p <= 20; ++p)
            for (int i = 1; i <= 64; ++i)
                problem.net.InputPatterns(i, p) /= 8.0;
        core::EpochKernel kernel(1);
        for (int epoch = 0; epoch < 50; ++epoch) {
            ASSERT_EQ(kernel.trainEpoch(problem.net, hebb), ArithStatus::Ok);
            ASSERT_TRUE(kernel.lastEpochProvenSafe()) << epoch;
        }
        EXPECT_EQ(kernel.snapshotBytes(), 0u);
    }
}

#if !defined(__SANITIZE_ADDRESS__)  // the sanitizer's reserved memory defeats RLIMIT_AS
// Caps the address space a little above what the network holds, so that the kernel
// cannot make its own arrays (about 50 MB here), and trains: 0 when the epoch says so
// and leaves the network as it was.
int trainWithoutRoomForTheKernel() {
    Problem problem(2048, 8, 3000, Kind::Real, 0.05, 5);
    std::ifstream statm("/proc/self/statm");
    unsigned long pages = 0;
    statm >> pages;
    const rlim_t cap = pages * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) + (20u << 20);
    const rlimit limit{cap, cap};
    if (!statm || ::setrlimit(RLIMIT_AS, &limit) != 0) {
        return 2;
    }
    const double totalBefore = problem.net.TotalSSE;
    core::EpochKernel kernel(1);
    const ArithStatus status = kernel.trainEpoch(problem.net, false);
    bool unchanged = bits(problem.net.TotalSSE) == bits(totalBefore);
    for (int j = 1; j <= 8; ++j) {
        for (int i = 1; i <= 2048; ++i) {
            unchanged = unchanged && bits(problem.net.Weights.Weight(j, i)) == 0;
        }
    }
    return status == ArithStatus::OutOfMemory && unchanged ? 0 : 1;
}

TEST(EpochKernelDeathTest, RunningOutOfMemoryLeavesTheNetworkAsItWas) {
    EXPECT_EXIT(std::_Exit(trainWithoutRoomForTheKernel()), testing::ExitedWithCode(0), "");
}
#endif

TEST(EpochKernel, OverflowRestoresTheEpochStart) {
    for (int threads : {1, 2}) {
        // Delta with rate 2 on large values diverges; 40 outputs span several blocks.
        Problem problem(30, 40, 4, Kind::Bipolar, 2.0, 99);
        for (int p = 1; p <= 4; ++p)
            for (int i = 1; i <= 30; ++i)
                problem.net.InputPatterns(i, p) *= 1e60;
        core::EpochKernel kernel(threads);
        ArithStatus status = ArithStatus::Ok;
        int epochs = 0;
        core::PublicStuff before;
        while (status == ArithStatus::Ok && epochs < 100) {
            before = problem.net;
            status = kernel.trainEpoch(problem.net, false);
            ++epochs;
        }
        ASSERT_EQ(status, ArithStatus::Overflow);
        EXPECT_EQ(bits(problem.net.TotalSSE), bits(before.TotalSSE));
        for (int i = 1; i <= 30; ++i) {
            EXPECT_EQ(problem.net.InputUnits[i].Activation, before.InputUnits[i].Activation);
            for (int j = 1; j <= 40; ++j) {
                ASSERT_EQ(bits(problem.net.Weights.Weight(j, i)),
                          bits(before.Weights.Weight(j, i)));
                ASSERT_EQ(bits(problem.net.Weights.Change(j, i)),
                          bits(before.Weights.Change(j, i)));
                ASSERT_TRUE(std::isfinite(problem.net.Weights.Weight(j, i)));
            }
        }
        for (int j = 1; j <= 40; ++j)
            EXPECT_EQ(bits(problem.net.OutputUnits[j].Error), bits(before.OutputUnits[j].Error));
    }
}

}  // namespace
