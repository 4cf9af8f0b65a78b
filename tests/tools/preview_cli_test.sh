#!/usr/bin/env bash
# The preview tool as a user runs it: a good run writes a 1920 x 1080 RGBA PNG
# and says where; every bad input gives one line on stderr and exit status 1.
set -u
tool=$1
sdk_library=$2
repo=$(cd "$(dirname "$0")/../.." && pwd)
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
expect_error "framing without a file" "--framing names a decision of --fdl" -- "$tool" --framing A_CAM-TV --out "$work/x.png"
expect_error "unknown framing" "no framing decision 'A_CAM-XX' \\(it holds 'A_CAM-SCOPE', 'A_CAM-TV'\\)" -- "$tool" --fdl "$repo/docs/fdl/a-cam-anamorphic.fdl" --framing A_CAM-XX --out "$work/x.png"
[ ! -e "$work/x.png" ] || fail "a failed run left an image behind"

# The sample FDL's 16:9 extraction travels on as a layout, and a check of it finds nothing.
"$tool" --fdl "$repo/docs/fdl/a-cam-anamorphic.fdl" --framing A_CAM-TV --save-layout "$work/tv.json" \
  --out "$work/tv.png" >"$work/out" 2>"$work/err" || fail "--fdl run exited $?: $(cat "$work/err")"
grep -q "Aspect 1.7777778, Aspect Zoom 33.333333, Aspect Distribution 0.5 (bars: top 180, bottom 180, sides 320)" \
  "$work/out" || fail "--fdl does not print its framing: $(cat "$work/out")"
"$tool" --layout "$work/tv.json" --check-layout >"$work/out" 2>&1 || fail "--check-layout of the saved framing exited $?"
grep -q '"Aspect Zoom"' "$work/tv.json" || fail "the saved layout lacks the framing"

# The version, from the build's one place for it.
"$tool" --version >"$work/out" 2>&1 || fail "--version exited $?"
grep -q -x -E "vthud_preview [0-9]+\.[0-9]+\.[0-9]+" "$work/out" || fail "--version printed '$(cat "$work/out")'"

# Outside its build folder the tool looks for plug-ins in lib/vthud/plugins/ of
# its own prefix, never back in the build: first there is none, then there is.
mkdir -p "$work/prefix/bin" "$work/prefix/lib/vthud/plugins"
cp "$tool" "$work/prefix/bin/"
expect_error "moved tool, no plug-in" "^vthud_preview: cannot load plug-in $work/prefix/lib/vthud/plugins/libvthudelement.so" \
  -- "$work/prefix/bin/vthud_preview" --out "$work/x.png"
cp "$(dirname "$tool")/../plugin/libvthudelement.so" "$work/prefix/lib/vthud/plugins/"
"$work/prefix/bin/vthud_preview" --out "$work/moved.png" >"$work/out" 2>"$work/err" ||
  fail "moved tool beside a plug-in exited $?: $(cat "$work/err")"

# Frame lines: two decisions over the HUD's mask, carried by a layout and a scene of both elements,
# which draw the same picture (counted by ImageMagick); their options refuse what they cannot do.
fdl="$repo/docs/fdl/uhd-scope-tv.fdl"
"$tool" --frame-lines --fdl "$fdl" --framing UHD-SCOPE --framing UHD-TV --lines-set "Show Centre Mark=true" \
  --save-layout "$work/both.json" --save-scene "$work/both-scene.json" --out "$work/lines.png" >"$work/out" 2>"$work/err" ||
  fail "--frame-lines run exited $?: $(cat "$work/err")"
grep -q '"VTFrameLines"' "$work/both.json" || fail "the layout lacks the frame lines element"
"$tool" --frame-lines --layout "$work/both.json" --out "$work/lines-layout.png" >/dev/null 2>&1 || fail "--layout of both exited $?"
"$tool" --frame-lines --scene "$work/both-scene.json" --out "$work/lines-scene.png" >/dev/null 2>&1 || fail "--scene of both exited $?"
"$tool" --out "$work/hud.png" >/dev/null 2>&1
for other in lines-layout lines-scene; do
  ae=$(compare -metric AE "$work/lines.png" "$work/$other.png" null: 2>&1)
  [ "$ae" = "0" ] || fail "$other.png differs from the run that saved it in $ae pixels"
done
ae=$(compare -metric AE "$work/lines.png" "$work/hud.png" null: 2>&1)
[ "$ae" != "0" ] || fail "the frame lines draw nothing"
expect_error "lines setting without lines" "--lines-set sets a property of the frame lines" -- "$tool" --lines-set "Line Width=3" --out "$work/x.png"
expect_error "unknown lines property" "^vthud_preview: --lines-set: .*unknown property 'Line Widht'" -- "$tool" --frame-lines --lines-set "Line Widht=3" --out "$work/x.png"
expect_error "missing lines plug-in" "^vthud_preview: --frame-lines: cannot load plug-in /nonexistent.so" -- "$tool" --lines-plugin /nonexistent.so --out "$work/x.png"

total=30
echo "$((total - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
