# Sanitizer and fuzzer builds (clang only).
#   VTHUD_SANITIZE: everything with AddressSanitizer (leak checking included)
#                   and UndefinedBehaviorSanitizer; any UB report halts.
#   VTHUD_FUZZ:     the same, with coverage for libFuzzer, plus the fuzz/ targets.
option(VTHUD_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer (clang)" OFF)
option(VTHUD_FUZZ "Build the libFuzzer targets under the sanitizers (clang)" OFF)
if(VTHUD_FUZZ)
  set(VTHUD_SANITIZE ON)
endif()
if(NOT VTHUD_SANITIZE)
  return()
endif()
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "VTHUD_SANITIZE and VTHUD_FUZZ need clang (CC=clang CXX=clang++)")
endif()

set(VTHUD_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
add_compile_options(${VTHUD_SANITIZER_FLAGS})
if(VTHUD_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
# The plug-in links with --no-undefined and is loaded with dlopen, so every
# object shares one runtime: the shared one, found through the rpath.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libclang_rt.asan-x86_64.so
                OUTPUT_VARIABLE VTHUD_ASAN_RUNTIME OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(VTHUD_ASAN_RUNTIME_DIR "${VTHUD_ASAN_RUNTIME}" DIRECTORY)
add_link_options(${VTHUD_SANITIZER_FLAGS} -shared-libsan -Wl,-rpath,${VTHUD_ASAN_RUNTIME_DIR})
