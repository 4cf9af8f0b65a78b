#!/usr/bin/env bash
# The package as a stage machine gets it: makes the .deb in a built folder
# (default build/), shows its dependencies and files, unpacks it with dpkg -x
# into a temporary prefix and runs the unpacked tool. Its frames must be the
# build folder's tool's, byte for byte, and it must open nothing in the source
# or build tree.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd -P)
build=$(cd "${1:-build}" && pwd -P)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

if ! (cd "$build" && cpack -G DEB -B "$work/package") >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  exit 1
fi
deb=$(echo "$work"/package/vthud_*.deb)
echo "$(basename "$deb"): $(dpkg-deb -f "$deb" Depends)"
# --farm slurm needs sbatch on the machine that submits; the cluster is the site's.
[ "$(dpkg-deb -f "$deb" Suggests)" = "slurm-client" ] || fail "the package does not suggest slurm-client"
dpkg-deb -c "$deb" | sed -E 's/^([^ ]+ +){5}//' | grep -v '/$'
dpkg -x "$deb" "$work/root"
usr=$work/root/usr
tool=$usr/bin/vthud_preview

# Runs "$@" from $work, logging into $work/opened.NAME what it opens (without
# ptrace, only the libraries the loader maps).
traced() {
  local name=$1
  shift
  if strace -f -qq -o /dev/null true 2>/dev/null; then
    (cd "$work" && strace -f -qq -e trace=open,openat,execve -o "$work/opened.$name" "$@")
  else
    (cd "$work" && LD_DEBUG=files LD_DEBUG_OUTPUT="$work/opened.$name" "$@")
  fi
}

version=$("$tool" --version) || fail "--version exited $?"
[ "$version" = "vthud_preview $(dpkg-deb -f "$deb" Version)" ] || fail "--version says '$version'"

# The default overlay, and the shipped layout and FDL over the built-in test picture.
shipped=(--layout "$usr/share/vthud/layouts/script-supervisor.json" --fdl "$usr/share/vthud/fdl/a-cam-anamorphic.fdl"
  --background test-picture --frame 1234)
traced default "$tool" --out "$work/installed.png" >/dev/null || fail "the unpacked tool exited $?"
traced shipped "$tool" "${shipped[@]}" --out "$work/installed-shipped.png" >/dev/null ||
  fail "the unpacked tool with the shipped files exited $?"
traced check "$tool" --check-layout --layout "$usr/share/vthud/layouts/all-fields.json" >"$work/check.txt" ||
  fail "--check-layout of a shipped layout exited $?: $(cat "$work/check.txt")"
"$build/tools/vthud_preview" --out "$work/built.png" >/dev/null
"$build/tools/vthud_preview" "${shipped[@]}" --out "$work/built-shipped.png" >/dev/null
cmp -s "$work/installed.png" "$work/built.png" || fail "the unpacked tool's default frame differs from the build's"
cmp -s "$work/installed-shipped.png" "$work/built-shipped.png" ||
  fail "the unpacked tool's frame of the shipped layout and FDL differs from the build's"

# One managed frame: a 16-bit plate shown through a config written here from
# OCIO's builtin transforms (S-Log3 by the file rules, the ACES SDR video view).
bash "$repo/scripts/show-config.sh" >"$work/show.ocio"
ffmpeg -v error -f lavfi -i testsrc2=s=1920x1080 -frames:v 1 -pix_fmt rgb48le "$work/plate_slog3.tif"
managed=(--ocio "$work/show.ocio" --background "$work/plate_slog3.tif")
traced managed "$tool" "${managed[@]}" --out "$work/installed-managed.png" >/dev/null ||
  fail "the unpacked tool showing a plate through an OCIO config exited $?"
"$build/tools/vthud_preview" "${managed[@]}" --out "$work/built-managed.png" >/dev/null
cmp -s "$work/installed-managed.png" "$work/built-managed.png" ||
  fail "the unpacked tool's frame through the OCIO config differs from the build's"
dpkg-deb -f "$deb" Depends | grep -q libopencolorio || fail "the package does not depend on OpenColorIO's runtime"
dpkg-deb -f "$deb" Depends | grep -q libavformat || fail "the package does not depend on FFmpeg's libraries"
if dpkg-deb -f "$deb" Depends | grep -qw ffmpeg; then fail "the package depends on the ffmpeg program, which the tool does not run"; fi

grep -q -F "$usr/lib/vthud/plugins/libvthudelement.so" "$work/opened.default" ||
  fail "the unpacked tool did not load the unpacked plug-in"
if grep -h -F -e "$repo/" -e "$build/" "$work"/opened.*; then fail "the unpacked tool opened the files above"; fi

if [ "$failures" -ne 0 ]; then exit 1; fi
echo "the unpacked $version draws as the build's tool, from its own files"
