#pragma once

// The instruction sets every vector kernel is built for, and the one they run with.
//
// Each kernel (the epoch's, the recalls of many vectors, the analysis's products) has a
// build per set, all giving the same results; a run takes the set chosen here. By default
// that is the best the processor has; tests, benches and `distmem-batch --cpu` may choose
// a lesser one, so that every build can be checked and measured on one machine.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace core {

enum class CpuPath { Avx512, Avx2, Baseline };

// "avx512", "avx2", "baseline"; a name that is none of these gives nullopt.
std::string_view CpuPathName(CpuPath path);
std::optional<CpuPath> CpuPathNamed(std::string_view name);

// Whether this processor runs the path's instructions (Baseline always).
bool CpuHas(CpuPath path);
// The paths this processor runs, best first.
std::vector<CpuPath> CpuPaths();

// Why the path named `name` cannot be chosen among `available` (as CpuPaths() gives
// them), or "" when it can: an unknown name, or a path the processor lacks.
std::string CpuPathProblem(std::string_view name, const std::vector<CpuPath>& available);

// The path kernels take when their caller names none.
CpuPath ChosenCpuPath();
// Makes `path` the one kernels take from now on. Call it before any kernel runs, not while
// one does. False (and nothing changed) when the processor lacks the path.
bool ChooseCpuPath(CpuPath path);

}  // namespace core
