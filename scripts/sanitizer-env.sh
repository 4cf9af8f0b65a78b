# Sourced by the sanitizer stages: leak checking on, any UB report halts,
# symbolised stacks, and the suppressions for the GL driver's own blocks.
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# intercept_tls_get_addr=0: clang 14's leak checker misreads glibc 2.36's
# dynamic TLS vector once enough libraries carry TLS (OpenColorIO and its own
# libraries tip it over), and its tracer crashes at exit ("Tracer caught signal
# 11", a DTLS block at a nonsense address). Without the interception it scans
# static TLS and thread stacks as before, and the dynamic blocks not at all.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1:intercept_tls_get_addr=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$ROOT/scripts/lsan.supp:print_suppressions=1"
if command -v llvm-symbolizer >/dev/null; then export ASAN_SYMBOLIZER_PATH=$(command -v llvm-symbolizer); fi
