# Compile options shared by every target of the project.
#
# dam_options: warnings and the floating-point contract. -ffp-contract=off keeps
# the compiler from fusing a multiply and an add into one instruction, so the
# network arithmetic gives the same bits on every machine and optimisation level.
add_library(dam_options INTERFACE)
target_compile_options(dam_options INTERFACE
    -ffp-contract=off
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion
    -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual
    $<$<BOOL:${DAM_WERROR}>:-Werror>
    # Branch-free guards use & on bools on purpose; clang would have them be &&.
    $<$<CXX_COMPILER_ID:Clang>:-Wno-bitwise-instead-of-logical>)
target_compile_features(dam_options INTERFACE cxx_std_20)

if(DAM_SANITIZE)
    target_compile_options(dam_options INTERFACE
        -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(dam_options INTERFACE -fsanitize=address,undefined)
endif()

# Fuzzing (clang only): every library gets the fuzzer's coverage instrumentation and the
# sanitizers; the fuzz targets themselves link libFuzzer's main (tests/fuzz).
if(DAM_FUZZ)
    target_compile_options(dam_options INTERFACE
        -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
        -fno-omit-frame-pointer)
    target_link_options(dam_options INTERFACE -fsanitize=address,undefined)
endif()

# The sanitized builds also check the standard library's own preconditions (bounds,
# std::clamp's order), which the sanitizers do not see.
if(DAM_SANITIZE OR DAM_FUZZ)
    target_compile_definitions(dam_options INTERFACE _GLIBCXX_ASSERTIONS)
endif()

# Qt targets: no connect() without a context object.
add_library(dam_qt_options INTERFACE)
target_compile_definitions(dam_qt_options INTERFACE QT_NO_CONTEXTLESS_CONNECT)
