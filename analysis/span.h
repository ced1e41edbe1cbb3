#pragma once

// The patterns as the forecasts use them. Internal to the analysis library.
//
// Every quantity that squares an input is worked out on the patterns scaled by one power
// of two (exact), so that files of values near 1e155 or 1e-155 neither overflow nor
// underflow: a rate r acts on the scaled patterns as the scaled rate r * 4^exponent.

#include <Eigen/Core>
#include <complex>
#include <vector>

#include "analysis/analysis.h"

namespace analysis {

// One Delta epoch on a set of patterns, in an orthonormal basis of their span (scaled
// units). The weights' part Z in that span maps to Z M(rate) + K(rate).
struct EpochMap {
    Eigen::MatrixXd c;        // R x P: c_p . c_q = x_p . x_q, scaled
    Eigen::VectorXd squared;  // |c_p|^2
    // P x (P - R), orthonormal: the combinations of patterns that add up to zero.
    Eigen::MatrixXd nullBasis;
    // N' U N, U the strict upper triangle of the patterns' Gram matrix: the settled
    // errors E = D N (I + rate N' U N)^-1 N'.
    Eigen::MatrixXd nullCoupling;
    // Per run of kMapBlock patterns, the Gram matrix of that run: one epoch's map is
    // applied a run at a time as I - Y T Y'.
    std::vector<Eigen::MatrixXd> runGram;
    // Rates (scaled) below which M surely settles and above which it surely grows:
    // 2 / max |c_p|^2 and 2 / min |c_p|^2.
    double surelyStable = 0.0;
    double surelyGrows = 0.0;
    // The first rate (scaled) from surelyStable up at which |det M| > 1 proves growth; at
    // most surelyGrows.
    double determinantGrows = 0.0;
    int rank() const { return static_cast<int>(c.rows()); }
    int patterns() const { return static_cast<int>(c.cols()); }
};

inline constexpr Eigen::Index kMapBlock = 64;

struct Prepared::Span {
    int exponent = 0;  // the patterns were scaled by 2^-exponent
    // R x P coordinates of every pattern (scaled), the desired outputs (or, with more
    // outputs than patterns, a P x P d' with d'^T d' = D^T D: every SSE here is |D Psi|^2
    // for some Psi, which that keeps).
    Eigen::MatrixXd c;
    Eigen::MatrixXd d;
    // The recall W0 x_p of every pattern by the weights the run starts from, in the rows of
    // d; empty when they are zero.
    Eigen::MatrixXd start;
    bool startSkipped = false;  // it would have taken more than the recall limit
    Eigen::VectorXd squared;    // |c_p|^2, scaled
    // Hebb: column p holds (sum_{q<=p} d_q c_q^T) c_p, and (D C^T) C, both at scaled rate 1.
    Eigen::MatrixXd hebbSteps;
    Eigen::MatrixXd hebbEpoch;
    double hebbNoise = 0.0;       // rounding left in hebbEpoch when it is zero in exact arithmetic
    double targetsSquared = 0.0;  // |D|^2
    bool delta = false;           // the Delta map below is filled
    // The patterns training can move: those that the targets or the weights reach. The
    // others keep zero weights and zero errors whatever the rate.
    EpochMap live;
    Eigen::MatrixXd liveTargets;  // the rows of d for those patterns
    std::vector<int> livePatterns;
    // The patterns nothing reaches, when there are any.
    bool hasIdle = false;
    EpochMap idle;
};

// A Delta rule's spectrum at one scaled rate: the largest |eigenvalue| of M, with an
// error bound, and every eigenvalue.
struct Eigenvalues {
    bool ok = false;  // false when the eigenvalues did not converge
    double radius = 0.0;
    double error = 0.0;
    std::vector<std::complex<double>> leading;  // largest modulus first
};

// Builds the map for patterns with this Gram matrix (scaled) and its pivoted Cholesky
// factor (P x R) and null basis.
EpochMap MakeEpochMap(const Eigen::MatrixXd& factor, Eigen::MatrixXd nullBasis,
                      const Eigen::MatrixXd& gram);

// Whether |det M(rate)| = prod |1 - rate |c_p|^2| exceeds 1 beyond its rounding, which
// makes the radius exceed 1.
bool DeterminantGrows(const EpochMap& map, double rate);
// The first rate from surelyStable up at which determinantGrows holds, found on a grid and
// closed in on; surelyGrows when none below it does.
double FirstDeterminantGrowth(const EpochMap& map);

// Applies one epoch's map M(rate) to each column of `v` (R x b): 2 P R b multiply-adds.
void ApplyEpochMap(const EpochMap& map, double rate, Eigen::MatrixXd& v);

// Every eigenvalue of M(rate), from M formed whole: a dense solve finds them all, where an
// iterative one near a crossing can settle on a pair below 1 and miss a larger one.
Eigenvalues EpochEigenvalues(const EpochMap& map, double rate);

// The first rate (scaled) at which the radius reaches 1, bracketed: every rate below
// `low` settles. Empty brackets mean the spectrum did not converge.
struct Crossing {
    bool found = false;
    double low = 0.0;
    double high = 0.0;
    int solves = 0;  // spectra worked out on the way
};
Crossing FirstCrossing(const EpochMap& map, const core::Progress* stop = nullptr);

}  // namespace analysis
