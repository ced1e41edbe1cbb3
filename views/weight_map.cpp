#include "views/weight_map.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <thread>

#include "core/worker_pool.h"
#include "views/round_step.h"

namespace views {

namespace {

using Index = std::int64_t;

// First unit (from 1) of part k when n units are split into `parts` near-even parts.
int partStart(int k, int n, int parts) {
    return 1 + static_cast<int>(Index{k} * n / parts);
}

// Part of unit u (from 1): the largest k with partStart(k) <= u.
int partOf(int u, int n, int parts) {
    return static_cast<int>((Index{u} * parts - 1) / n);
}

// The larger magnitude of the two; the positive one when they are equal.
double larger(double a, double b) {
    const double ma = std::abs(a);
    const double mb = std::abs(b);
    if (ma != mb) {
        return ma > mb ? a : b;
    }
    return std::max(a, b);
}

// A zero of either sign reads "0": -0 (the scale's bottom when every weight is zero, or a
// weight the Delta rule left at -0) means nothing to the student.
double unsignedZero(double v) {
    return v == 0.0 ? 0.0 : v;
}

std::string shortest(double v) {
    std::array<char, 32> text{};
    const auto [end, ec] = std::to_chars(text.data(), text.data() + text.size(), unsignedZero(v));
    return ec == std::errc{} ? std::string(text.data(), end) : std::string("?");
}

constexpr int kLanes = core::ConnectionMatrix::Lanes;

// Rows [firstRow, endRow) of the grid: the largest and smallest weight of every cell,
// read block by block from the matrix. Within a block, each column's inputs are folded
// lane-wise first (plain max/min over contiguous rows of eight), so the cell bookkeeping
// runs once per column rather than once per weight.
void reduceRows(const core::ConnectionMatrix& weights, WeightGrid& grid, std::vector<double>& high,
                std::vector<double>& low, const std::vector<int>& columnStart, int firstRow,
                int endRow, double& largest) {
    const int outputs = weights.outputs();
    const int columns = grid.columns();
    const int firstOutput = partStart(firstRow, outputs, grid.rows());
    const int endOutput = partStart(endRow, outputs, grid.rows());
    for (int b = (firstOutput - 1) / kLanes; b <= (endOutput - 2) / kLanes; ++b) {
        std::array<int, kLanes> row{};
        for (int k = 0; k < kLanes; ++k) {
            const int j = b * kLanes + 1 + k;
            row[static_cast<std::size_t>(k)] =
                j >= firstOutput && j < endOutput ? grid.rowOf(j) : -1;
        }
        const core::ConnectionMatrix::Block* w = weights.block(b);
        for (int c = 0; c < columns; ++c) {
            const int first = columnStart[static_cast<std::size_t>(c)];
            const int end = columnStart[static_cast<std::size_t>(c) + 1];
            double hi[kLanes];
            double lo[kLanes];
            for (int k = 0; k < kLanes; ++k) {
                hi[k] = w[first - 1].lane[k];
                lo[k] = hi[k];
            }
            for (int i = first + 1; i < end; ++i) {
                const double* lane = w[i - 1].lane;
                for (int k = 0; k < kLanes; ++k) {
                    hi[k] = lane[k] > hi[k] ? lane[k] : hi[k];
                    lo[k] = lane[k] < lo[k] ? lane[k] : lo[k];
                }
            }
            for (int k = 0; k < kLanes; ++k) {
                const int r = row[static_cast<std::size_t>(k)];
                if (r < 0) {
                    continue;
                }
                const std::size_t cell =
                    static_cast<std::size_t>(r) * static_cast<std::size_t>(columns) +
                    static_cast<std::size_t>(c);
                high[cell] = std::max(high[cell], hi[k]);
                low[cell] = std::min(low[cell], lo[k]);
            }
        }
    }
    largest = 0.0;
    for (int r = firstRow; r < endRow; ++r) {
        for (int c = 0; c < columns; ++c) {
            const std::size_t cell =
                static_cast<std::size_t>(r) * static_cast<std::size_t>(columns) +
                static_cast<std::size_t>(c);
            const double v = larger(high[cell], low[cell]);
            grid.value(r, c) = v;
            largest = std::max(largest, std::abs(v));
        }
    }
}

}  // namespace

WeightGrid::WeightGrid(int rows, int columns, int outputs, int inputs)
    : m_rows(rows),
      m_columns(columns),
      m_outputs(outputs),
      m_inputs(inputs),
      m_values(static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns), 0.0) {}

CellSpan WeightGrid::span(int row, int column) const {
    return {partStart(row, m_outputs, m_rows), partStart(row + 1, m_outputs, m_rows),
            partStart(column, m_inputs, m_columns), partStart(column + 1, m_inputs, m_columns)};
}

int WeightGrid::rowOf(int j) const {
    return partOf(j, m_outputs, m_rows);
}

int WeightGrid::columnOf(int i) const {
    return partOf(i, m_inputs, m_columns);
}

WeightGrid ReduceWeights(const core::ConnectionMatrix& weights, int maxRows, int maxColumns,
                         int threads) {
    if (!weights.exists() || maxRows < 1 || maxColumns < 1) {
        return {};
    }
    const int rows = std::min(maxRows, weights.outputs());
    const int columns = std::min(maxColumns, weights.inputs());
    WeightGrid grid(rows, columns, weights.outputs(), weights.inputs());
    const std::size_t cells = static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns);
    std::vector<double> high(cells, -std::numeric_limits<double>::infinity());
    std::vector<double> low(cells, std::numeric_limits<double>::infinity());
    std::vector<int> columnStart(static_cast<std::size_t>(columns) + 1);
    for (int c = 0; c <= columns; ++c) {
        columnStart[static_cast<std::size_t>(c)] = partStart(c, weights.inputs(), columns);
    }

    if (threads <= 0) {
        threads = static_cast<int>(std::max(1U, std::thread::hardware_concurrency()));
    }
    // Whole rows per thread: each writes only its own cells. Small matrices stay on the
    // caller's thread, where starting threads would cost more than it saves.
    const Index connections = Index{weights.outputs()} * weights.inputs();
    constexpr Index kWeightsPerThread = Index{1} << 18;
    threads = static_cast<int>(
        std::clamp<Index>(connections / kWeightsPerThread, 1, std::min(threads, rows)));
    std::vector<int> firstRow(static_cast<std::size_t>(threads) + 1);
    for (int t = 0; t <= threads; ++t) {
        firstRow[static_cast<std::size_t>(t)] = static_cast<int>(Index{t} * rows / threads);
    }
    // Each share's largest magnitude, merged below.
    std::vector<double> largest(static_cast<std::size_t>(threads), 0.0);
    const auto task = [&](int t) {
        const auto share = static_cast<std::size_t>(t);
        reduceRows(weights, grid, high, low, columnStart, firstRow[share], firstRow[share + 1],
                   largest[share]);
    };
    if (threads == 1) {
        task(0);
    } else {
        core::WorkerPool pool(threads);
        // A pool that could start fewer threads runs every share anyway.
        const int started = pool.size();
        pool.run([&](int s) {
            for (int t = s; t < threads; t += started) {
                task(t);
            }
        });
    }
    grid.setLargestMagnitude(*std::max_element(largest.begin(), largest.end()));
    return grid;
}

ShownConnection ShownInCell(const core::ConnectionMatrix& weights, const CellSpan& span) {
    ShownConnection shown{span.firstOutput, span.firstInput,
                          weights.Weight(span.firstOutput, span.firstInput)};
    for (int j = span.firstOutput; j < span.endOutput; ++j) {
        for (int i = span.firstInput; i < span.endInput; ++i) {
            const double w = weights.Weight(j, i);
            if (w != shown.weight && larger(w, shown.weight) == w) {
                shown = {j, i, w};
            }
        }
    }
    return shown;
}

Rgb WeightColour(double w, double largest) {
    if (!(largest > 0.0) || w == 0.0) {
        return {};
    }
    const double t = std::min(std::abs(w) / largest, 1.0);
    const auto fade = static_cast<std::uint8_t>(std::floor((255.0 * (1.0 - t)) + 0.5));
    if (w > 0.0) {
        return {255, fade, fade};
    }
    return {fade, fade, 255};
}

std::string ConnectionText(int output, int input, double w) {
    return "Output " + std::to_string(output) + ", Input " + std::to_string(input) + ": " +
           shortest(w);
}

std::string ScaleNumber(double v) {
    std::array<char, 32> text{};
    const auto [end, ec] = std::to_chars(text.data(), text.data() + text.size(), unsignedZero(v),
                                         std::chars_format::general, 4);
    return ec == std::errc{} ? std::string(text.data(), end) : std::string("?");
}

std::vector<int> LabelledUnits(int units, double pixelsPerUnit, double room) {
    std::vector<int> labelled;
    if (units < 1) {
        return labelled;
    }
    // A step past every unit labels unit 1 alone.
    const int step = static_cast<int>(
        LeastRoundStep([pixelsPerUnit, room](double s) { return s * pixelsPerUnit >= room; }, 1e6));
    labelled.push_back(1);
    for (int unit = step; unit <= units; unit += step) {
        if (unit > 1 && (unit - 1) * pixelsPerUnit >= room) {
            labelled.push_back(unit);
        }
    }
    return labelled;
}

}  // namespace views
