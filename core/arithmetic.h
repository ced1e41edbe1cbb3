#pragma once

// Recall and learning on the shared network: one pattern at a time, in place.
//
// Every loop runs over input units outside and output units inside, both upwards from 1,
// and every sum is formed in exactly that order, so results are the same to the bit on
// any machine (the project compiles with -ffp-contract=off).
//
// Guard: each operation either completes with every value it wrote finite, or returns a
// status other than Ok and leaves the network exactly as it was before the call. Nothing
// here allocates.

#include "core/network_state.h"

namespace core {

enum class ArithStatus {
    Ok,
    Overflow,      // a product or sum went beyond the range of double precision
    BadArguments,  // counts outside 1..32767, a pattern outside 1..NumPatterns, or no arrays
    OutOfMemory,   // the working arrays of a step could not be allocated
};

// A sentence for a message box, e.g. "a value grew beyond the range of double precision".
const char* Describe(ArithStatus status);

// Sets Weight and Change of every connection to zero.
ArithStatus ZeroWeights(PublicStuff& net);

// Recall of pattern p: input activations from the pattern, NetInput summed over the
// input units, linear output Activation = NetInput, Error = desired - Activation.
[[nodiscard]] ArithStatus ComputeResponses(PublicStuff& net, int p);

// The same recall for input values x that need not be a stored pattern (NumInputs + 1
// elements, element 0 unused), the errors against the desired output of pattern p.
[[nodiscard]] ArithStatus ComputeResponsesTo(PublicStuff& net, const double* x, int p);

// The recall ComputeResponses makes, with the same operations, into netInput[1..NumOutputs]
// and errors[1..NumOutputs] (desired minus net input) instead of the units: it changes
// nothing in `net`, so threads may recall different patterns at once. p must be valid.
// Returns false when a value is not finite.
[[nodiscard]] bool RecallInto(const PublicStuff& net, int p, double* netInput, double* errors);

// RecallInto for patterns first .. first + count - 1 (count at most RecallManyMax) in one
// pass over the weights, each pattern's sums formed in the same order as RecallInto forms
// them. Pattern first + g goes to netInputs and errors from g * (NumOutputs + 1). Returns
// how many patterns from `first` on were recalled with finite values.
inline constexpr int RecallManyMax = 4;
[[nodiscard]] int RecallManyInto(const PublicStuff& net, int first, int count, double* netInputs,
                                 double* errors);

// One Hebb step on pattern p: outputs clamped to the desired pattern, then
// Change = (LearningRate * input activation) * output activation, Weight += Change.
[[nodiscard]] ArithStatus LearnHebb(PublicStuff& net, int p);

// One Delta step on pattern p: recall, output Activation = Error, then the same update.
[[nodiscard]] ArithStatus LearnDelta(PublicStuff& net, int p);

// Sum over the output units of Error * Error, in unit order, as left by the last recall.
// Not finite when the sum overflows; callers check.
double PatternSSE(const PublicStuff& net);

}  // namespace core
