// The weight map's reduction of an n x n matrix to the map's cells, on every core and on
// one, side by side with one plain pass that adds up every weight (the cost of reading the
// matrix once): the ratio says how close the reduction comes to the memory's speed. And the
// whole drawing as the page does it (offscreen): reading the weights, colouring the cells,
// painting the map with its numbers and scale.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>

#include <cstdlib>

#include "pages/weight_map_view.h"

#include <random>

#include "core/network_state.h"
#include "views/weight_map.h"

namespace {

// The map's plot area on the page, in pixels.
constexpr int kMapRows = 380;
constexpr int kMapColumns = 440;

const core::ConnectionMatrix& matrix(int n) {
    static core::ConnectionMatrix m;
    if (m.outputs() != n) {
        m = core::ConnectionMatrix();
        m = core::ConnectionMatrix(n, n);
        std::mt19937_64 rng(5);
        for (int b = 0; b < m.blocks(); ++b) {
            core::ConnectionMatrix::Block* w = m.block(b);
            for (int i = 0; i < n; ++i) {
                for (double& v : w[i].lane) {
                    v = static_cast<double>(static_cast<std::int64_t>(rng() % 2001) - 1000) /
                        1000.0;
                }
            }
        }
    }
    return m;
}

void BM_ReduceAllCores(benchmark::State& state) {
    const auto& m = matrix(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const views::WeightGrid grid = views::ReduceWeights(m, kMapRows, kMapColumns);
        benchmark::DoNotOptimize(grid.largestMagnitude());
    }
}

void BM_ReduceOneCore(benchmark::State& state) {
    const auto& m = matrix(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const views::WeightGrid grid = views::ReduceWeights(m, kMapRows, kMapColumns, 1);
        benchmark::DoNotOptimize(grid.largestMagnitude());
    }
}

void BM_ReadEveryWeight(benchmark::State& state) {
    const auto& m = matrix(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        double sum = 0.0;
        for (int b = 0; b < m.blocks(); ++b) {
            const core::ConnectionMatrix::Block* w = m.block(b);
            for (int i = 0; i < m.inputs(); ++i) {
                for (double v : w[i].lane) {
                    sum += v;
                }
            }
        }
        benchmark::DoNotOptimize(sum);
    }
}

void BM_DrawMap(benchmark::State& state) {
    const auto& m = matrix(static_cast<int>(state.range(0)));
    pages::WeightMapView view;
    view.resize(569, 409);  // the page's map, 8535 x 6135 twips
    QImage picture(view.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        view.refresh(&m);
        view.render(&picture);
        benchmark::DoNotOptimize(picture.constBits());
    }
}

// Sizes run in order, so each builds its matrix once.
BENCHMARK(BM_DrawMap)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReduceAllCores)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReduceOneCore)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadEveryWeight)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReduceAllCores)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReduceOneCore)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadEveryWeight)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawMap)->Arg(8192)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReduceAllCores)->Arg(8192)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReduceOneCore)->Arg(8192)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadEveryWeight)->Arg(8192)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
