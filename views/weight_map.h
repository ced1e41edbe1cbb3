#pragma once

// The weights as a picture: a grid of cells over the connection matrix (output units as
// rows, output 1 at the top; input units as columns, input 1 at the left), the colour of
// a weight on a scale symmetric around zero, and the text shown for one connection.
//
// When the matrix has more rows or columns than the grid, each cell covers a block of
// neighbouring connections and holds the weight of largest magnitude among them, so no
// large weight is hidden by its neighbours. Equal magnitudes of opposite sign show the
// positive one.

#include <cstdint>
#include <string>
#include <vector>

#include "core/network_state.h"

namespace views {

// The connections a grid cell covers: outputs [firstOutput, endOutput) and inputs
// [firstInput, endInput), numbered from 1.
struct CellSpan {
    int firstOutput = 1;
    int endOutput = 1;
    int firstInput = 1;
    int endInput = 1;
};

class WeightGrid {
  public:
    WeightGrid() = default;
    // rows x columns cells over `outputs` x `inputs` connections; rows <= outputs and
    // columns <= inputs, all at least 1 (the caller clamps them).
    WeightGrid(int rows, int columns, int outputs, int inputs);

    int rows() const { return m_rows; }
    int columns() const { return m_columns; }
    int outputs() const { return m_outputs; }
    int inputs() const { return m_inputs; }
    bool empty() const { return m_values.empty(); }

    // The weight a cell shows (row and column from 0).
    double value(int row, int column) const { return m_values[index(row, column)]; }
    double& value(int row, int column) { return m_values[index(row, column)]; }
    // The largest |weight| of the whole matrix: the full colour of the scale.
    double largestMagnitude() const { return m_largest; }
    void setLargestMagnitude(double m) { m_largest = m; }

    // Which connections cell (row, column) covers: a near-even split, never empty.
    CellSpan span(int row, int column) const;
    // The row of output j and the column of input i (both from 1).
    int rowOf(int j) const;
    int columnOf(int i) const;

  private:
    std::size_t index(int row, int column) const {
        return static_cast<std::size_t>(row) * static_cast<std::size_t>(m_columns) +
               static_cast<std::size_t>(column);
    }

    int m_rows = 0;
    int m_columns = 0;
    int m_outputs = 0;
    int m_inputs = 0;
    double m_largest = 0.0;
    std::vector<double> m_values;
};

// Reduces `weights` to a grid of at most maxRows x maxColumns cells (fewer when the matrix
// is smaller), reading the weights in place on `threads` threads (0: every core).
// An empty grid when the matrix does not exist. Throws std::bad_alloc.
WeightGrid ReduceWeights(const core::ConnectionMatrix& weights, int maxRows, int maxColumns,
                         int threads = 0);

// One connection of a cell: the one whose weight the cell shows.
struct ShownConnection {
    int output = 0;
    int input = 0;
    double weight = 0.0;
};
ShownConnection ShownInCell(const core::ConnectionMatrix& weights, const CellSpan& span);

struct Rgb {
    std::uint8_t red = 255;
    std::uint8_t green = 255;
    std::uint8_t blue = 255;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// Blue for negative, white for 0, red for positive; full colour (0,0,255) or (255,0,0) at
// |w| == largest, the other two channels 255 * (1 - |w| / largest) rounded half up. With
// largest 0 (every weight zero) everything is white.
Rgb WeightColour(double w, double largest);

// "Output j, Input i: w", w written with the fewest digits that read back as the same
// double ("0.1", "-2.5e-07"), a zero of either sign as "0".
std::string ConnectionText(int output, int input, double w);

// A number for the scale's legend: 4 significant digits ("0.25", "-1.333", "1.5e+04"); a
// zero of either sign is "0".
std::string ScaleNumber(double v);

// The unit numbers 1..units that get a label along a side of the map, `pixelsPerUnit`
// apart, no two labels closer than `room` pixels (a label's height or width): 1, then
// every step-th unit for the smallest step of 1, 2, 5, 10, 20, 50, ... that leaves room,
// without the first of them when it would crowd the label 1.
std::vector<int> LabelledUnits(int units, double pixelsPerUnit, double room);

}  // namespace views
