#include "core/cpu_path.h"

#include <atomic>
#include <string>

namespace core {

namespace {

constexpr CpuPath kAll[] = {CpuPath::Avx512, CpuPath::Avx2, CpuPath::Baseline};

CpuPath bestPath() {
    static const CpuPath best = CpuPaths().front();
    return best;
}

// -1 until a path is chosen.
std::atomic<int> chosen{-1};

}  // namespace

std::string_view CpuPathName(CpuPath path) {
    switch (path) {
        case CpuPath::Avx512:
            return "avx512";
        case CpuPath::Avx2:
            return "avx2";
        case CpuPath::Baseline:
            break;
    }
    return "baseline";
}

std::optional<CpuPath> CpuPathNamed(std::string_view name) {
    for (const CpuPath path : kAll) {
        if (CpuPathName(path) == name) {
            return path;
        }
    }
    return std::nullopt;
}

bool CpuHas(CpuPath path) {
    __builtin_cpu_init();
    switch (path) {
        case CpuPath::Avx512:
            return __builtin_cpu_supports("avx512f") != 0;
        case CpuPath::Avx2:
            return __builtin_cpu_supports("avx2") != 0;
        case CpuPath::Baseline:
            break;
    }
    return true;
}

std::vector<CpuPath> CpuPaths() {
    std::vector<CpuPath> paths;
    for (const CpuPath path : kAll) {
        if (CpuHas(path)) {
            paths.push_back(path);
        }
    }
    return paths;
}

std::string CpuPathProblem(std::string_view name, const std::vector<CpuPath>& available) {
    const std::optional<CpuPath> path = CpuPathNamed(name);
    if (!path) {
        return "--cpu takes avx512, avx2 or baseline, not \"" + std::string(name) + "\"";
    }
    for (const CpuPath runs : available) {
        if (runs == *path) {
            return "";
        }
    }
    std::string runs;
    for (const CpuPath other : available) {
        runs += (runs.empty() ? "" : ", ") + std::string(CpuPathName(other));
    }
    return "--cpu " + std::string(name) + ": this processor lacks its instructions; it runs " +
           runs;
}

CpuPath ChosenCpuPath() {
    const int path = chosen.load(std::memory_order_relaxed);
    return path < 0 ? bestPath() : static_cast<CpuPath>(path);
}

bool ChooseCpuPath(CpuPath path) {
    if (!CpuHas(path)) {
        return false;
    }
    chosen.store(static_cast<int>(path), std::memory_order_relaxed);
    return true;
}

}  // namespace core
