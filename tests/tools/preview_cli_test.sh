#!/usr/bin/env bash
# The preview tool as a user runs it: a good run writes a 1920 x 1080 RGBA PNG
# and says where; every bad input gives one line on stderr and exit status 1.
set -u
tool=$1
sdk_library=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# expect_error NAME PATTERN -- command...
expect_error() {
  local name=$1 pattern=$2
  shift 3
  "$@" >"$work/out" 2>"$work/err"
  local status=$?
  local lines
  lines=$(wc -l <"$work/err")
  if [ "$status" -ne 1 ]; then fail "$name: exit status $status, expected 1"; fi
  if [ "$lines" -ne 1 ]; then fail "$name: $lines lines on stderr, expected 1: $(cat "$work/err")"; fi
  if ! grep -q -E -e "$pattern" "$work/err"; then fail "$name: stderr '$(cat "$work/err")' does not match '$pattern'"; fi
}

"$tool" --out "$work/deep/dir/hud.png" --frame 42 >"$work/out" 2>"$work/err" || fail "good run exited $?: $(cat "$work/err")"
grep -q "wrote $work/deep/dir/hud.png" "$work/out" || fail "good run does not say where it wrote: $(cat "$work/out")"
# PNG signature, IHDR width 1920 (0x780), height 1080 (0x438), 8-bit RGBA (colour type 6).
header=$(od -A n -t x1 -N 26 "$work/deep/dir/hud.png" | tr -d ' \n')
[ "$header" = "89504e470d0a1a0a0000000d4948445200000780000004380806" ] || fail "not a 1920 x 1080 RGBA PNG: $header"

expect_error "missing plug-in" "^vthud_preview: cannot load plug-in /nonexistent.so" -- "$tool" --plugin /nonexistent.so --out "$work/x.png"
expect_error "no entry point" "has no entry point LIBRARY_INIT" -- "$tool" --plugin "$sdk_library" --out "$work/x.png"
expect_error "unknown class" "class 'NoSuchHUD' is not registered \\(registered: .*VTHUDElement" -- "$tool" --class NoSuchHUD --out "$work/x.png"
expect_error "unknown property" "unknown property 'Aspekt'.*'Aspect'" -- "$tool" --set "Aspekt=2" --out "$work/x.png"
expect_error "bad value" "'Aspect'.*Number" -- "$tool" --set "Aspect=wide" --out "$work/x.png"
expect_error "bad option" "unknown option '--bogus'" -- "$tool" --bogus
expect_error "bad frame" "--frame expects a whole number" -- "$tool" --frame 1.5
expect_error "bad background" "cannot read /nonexistent.png" -- "$tool" --background /nonexistent.png
expect_error "unknown platform" "unknown VTHUD_EGL_PLATFORM 'vulkan'" -- env VTHUD_EGL_PLATFORM=vulkan "$tool" --out "$work/x.png"
expect_error "no GL context" "^vthud_preview: no OpenGL context available" -- env __EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent.json "$tool" --out "$work/x.png"
[ ! -e "$work/x.png" ] || fail "a failed run left an image behind"

total=13
echo "$((total - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
