# Sourced by the sanitizer stages: leak checking on, any UB report halts,
# symbolised stacks, and the suppressions for the GL driver's own blocks.
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$ROOT/scripts/lsan.supp:print_suppressions=1"
if command -v llvm-symbolizer >/dev/null; then export ASAN_SYMBOLIZER_PATH=$(command -v llvm-symbolizer); fi
