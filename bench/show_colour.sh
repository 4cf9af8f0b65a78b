#!/usr/bin/env bash
# The show's view burnt in by the tool against ffmpeg applying OCIO's own
# baked 65-point cube of the same view (ociobakelut) with lut3d, to H.264 at
# the tool's encoder settings: 48 S-Log3 TIFF16 plates, then 48 ACEScg half
# EXR plates (whose cube needs a shaper: a Cinespace .csp with an ACEScct
# prelut, which lut3d reads). The tool draws the default overlay over the
# plates, by OCIO's GPU path in its own GL context (the default) and by
# OCIO's CPU processor (VTHUD_OCIO_CPU=1). Beside them, the tool today's way:
# the same cube through --background-lut (ffmpeg's lut3d in its decoder),
# which tells the transform's own cost from the tool's. The four run in
# turn, the order rotated every round; the times are wall seconds and the
# ratio is the tool's (GPU path) over ffmpeg's.
#
# Then what bounds that ratio on this machine: the view alone over one plate
# (bench/colour_transform.cpp, GPU path), in CPU time a frame, and ffmpeg's
# run without any transform (decoding and encoding, which the tool's run does
# as well). Spread over every core with nothing lost, the two together are
# the least the tool's run could take; over lut3d's run, the least ratio.
#
# Last, the same for an HDR view to HEVC Main 10 (see below).
#
#   bench/show_colour.sh [BUILD_DIR] [ROUNDS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" && pwd -P)
rounds=${2:-3}
tool=$build/tools/vthud_preview
view_alone=$build/bench/vthud_colour_transform_bench
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The view from OCIO's builtin transforms, as the tests write it.
bash scripts/show-config.sh >"$work/show.ocio"
display="Rec.1886 Rec.709 - Display"
# A scene-to-display conversion goes through the config's (only) view transform: the view.
ociobakelut --iconfig "$work/show.ocio" --inputspace "S-Log3 S-Gamut3" --outputspace "$display" \
  --format resolve_cube --cubesize 65 "$work/slog3.cube" >/dev/null
ociobakelut --iconfig "$work/show.ocio" --inputspace ACEScg --shaperspace ACEScct --outputspace "$display" \
  --format cinespace --cubesize 65 "$work/acescg.csp" >/dev/null

# Plates that change every frame: FFmpeg's moving test picture, as S-Log3
# code values and as ACEScg values.
ffmpeg -v error -f lavfi -i testsrc2=s=1920x1080:r=24 -frames:v 48 -pix_fmt rgb48le -start_number 1 \
  "$work/p_slog3.%d.tif"
ffmpeg -v error -f lavfi -i testsrc2=s=1920x1080:r=24 -frames:v 48 -pix_fmt gbrpf32le -c:v exr -format half \
  -start_number 1 "$work/p_acescg.%d.exr"

# The tool's own H.264 settings (tools/media/video_writer.cpp).
encode=(-colorspace bt709 -color_range tv -color_primaries bt709 -color_trc bt709 -c:v libx264 -preset veryfast
  -crf 18 -pix_fmt yuv420p -g 24 -movflags +frag_keyframe+empty_moov)

seconds() {
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>"$work/err" || {
    cat "$work/err" >&2
    exit 1
  }
  end=$(date +%s.%N)
  echo "$end - $start" | bc
}

# "WALL CPU" in seconds, CPU being user and system time of it and its children.
wall_and_cpu() {
  local TIMEFORMAT='%R %U %S' times w u s
  times=$({ time "$@" >/dev/null 2>"$work/err"; } 2>&1) || {
    cat "$work/err" >&2
    exit 1
  }
  read -r w u s <<<"$times"
  echo "$w $(echo "$u + $s" | bc)"
}

run_tool() { seconds env VTHUD_OCIO_CPU="${cpu:-0}" "$tool" --fps 24 --frames 1:48 --ocio "$work/show.ocio" --background "$work/$1" --out "$work/tool.mp4"; }
run_tool_lut() {
  seconds "$tool" --fps 24 --frames 1:48 --background "$work/$1" --background-lut "$work/$2" --out "$work/lut.mp4"
}
run_ffmpeg() {
  seconds ffmpeg -v error -y -start_number 1 -i "$work/$1" \
    -vf "format=$2,lut3d=file=$work/$3,scale=out_color_matrix=bt709:out_range=tv" "${encode[@]}" "$work/ffmpeg.mp4"
}

# A kind of plate: its pattern, the raw layout lut3d reads it in, and its cube; and its name.
plates_of() { if [ "$1" = slog3 ]; then echo p_slog3.%d.tif rgb48le slog3.cube; else echo p_acescg.%d.exr gbrpf32le acescg.csp; fi; }
label_of() { if [ "$1" = slog3 ]; then echo "48 S-Log3 TIFF16"; else echo "48 ACEScg half EXR"; fi; }

echo "| plates | round | tool, --ocio (GPU path) | tool, --ocio (CPU processor) | ffmpeg, lut3d (65-point cube) | ratio (GPU path) | tool, --background-lut (same cube) |"
echo "|---|---|---|---|---|---|---|"
for plates in slog3 acescg; do
  # shellcheck disable=SC2046
  set -- $(plates_of $plates) "$(label_of $plates)"
  for round in $(seq 1 "$rounds"); do
    for step in 0 1 2 3; do
      case $(((step + round) % 4)) in
        0) t=$(run_tool "$1") ;;
        1) c=$(cpu=1 run_tool "$1") ;;
        2) f=$(run_ffmpeg "$1" "$2" "$3") ;;
        3) l=$(run_tool_lut "$1" "$3") ;;
      esac
    done
    printf '| %s | %d | %.2f s | %.2f s | %.2f s | %.2f | %.2f s |\n' "$4" "$round" "$t" "$c" "$f" \
      "$(echo "$t / $f" | bc -l)" "$l"
  done
done

cores=$(nproc)
echo
echo "| plates | ffmpeg, lut3d: wall, CPU | ffmpeg, no transform: wall, CPU | the view alone (GPU path): CPU a frame | least for the tool: (no transform + view) CPU / $cores cores | least ratio |"
echo "|---|---|---|---|---|---|"
for plates in slog3 acescg; do
  # shellcheck disable=SC2046
  set -- $(plates_of $plates) "$(label_of $plates)"
  read -r lw lc < <(wall_and_cpu ffmpeg -v error -y -start_number 1 -i "$work/$1" \
    -vf "format=$2,lut3d=file=$work/$3,scale=out_color_matrix=bt709:out_range=tv" "${encode[@]}" "$work/ffmpeg.mp4")
  read -r nw nc < <(wall_and_cpu ffmpeg -v error -y -start_number 1 -i "$work/$1" \
    -vf "format=$2,scale=out_color_matrix=bt709:out_range=tv" "${encode[@]}" "$work/plain.mp4")
  view=$("$view_alone" "$work/show.ocio" "$work/${1/\%d/1}" 48 | sed -n 's/.*, \([0-9.]*\) ms of CPU a frame.*/\1/p')
  least=$(echo "$nc + 48 * $view / 1000" | bc -l)
  least=$(echo "if ($least / $cores > $nw) $least / $cores else $nw" | bc -l)
  printf '| %s | %.2f s, %.2f s | %.2f s, %.2f s | %.0f ms | %.2f s | %.2f |\n' "$4" "$lw" "$lc" "$nw" "$nc" "$view" \
    "$least" "$(echo "$least / $lw" | bc -l)"
done

# HDR: the S-Log3 plates through ACES 1.1's 1000-nit view to a Rec.2100-PQ
# display (a config written from OCIO's builtins, as the tests write it),
# to HEVC Main 10 with the default overlay at graphics white; against ffmpeg
# applying OCIO's baked cube of the same view with lut3d into the same
# encoder at the tool's settings. The tool takes OCIO's CPU processor here
# (its GPU path writes 8 bits).
cat >"$work/hdr.ocio" <<'CONFIG'
ocio_profile_version: 2
roles:
  default: ACEScg
  scene_linear: ACEScg
displays:
  Rec.2100-PQ - Display:
    - !<View> {name: HDR 1000, view_transform: HDR 1000, display_colorspace: Rec.2100-PQ - Display}
view_transforms:
  - !<ViewTransform>
    name: HDR 1000
    from_scene_reference: !<BuiltinTransform> {style: "ACES-OUTPUT - ACES2065-1_to_CIE-XYZ-D65 - HDR-VIDEO-1000nit-15nit-REC2020lim_1.1"}
display_colorspaces:
  - !<ColorSpace>
    name: Rec.2100-PQ - Display
    encoding: hdr-video
    from_display_reference: !<BuiltinTransform> {style: "DISPLAY - CIE-XYZ-D65_to_REC.2100-PQ"}
colorspaces:
  - !<ColorSpace>
    name: ACEScg
    to_scene_reference: !<BuiltinTransform> {style: "ACEScg_to_ACES2065-1"}
  - !<ColorSpace>
    name: S-Log3 S-Gamut3
    to_scene_reference: !<BuiltinTransform> {style: "SONY_SLOG3-SGAMUT3_to_ACES2065-1"}
CONFIG
ociobakelut --iconfig "$work/hdr.ocio" --inputspace "S-Log3 S-Gamut3" --outputspace "Rec.2100-PQ - Display" \
  --format resolve_cube --cubesize 65 "$work/pq.cube" >/dev/null
hevc=(-colorspace bt2020nc -color_range tv -color_primaries bt2020 -color_trc smpte2084 -c:v libx265 -preset veryfast
  -crf 18 -x265-params log-level=error -pix_fmt yuv420p10le -g 24 -tag:v hvc1 -movflags +frag_keyframe+empty_moov)
echo
echo "| plates | round | tool, --ocio to PQ, HEVC Main 10 | ffmpeg, lut3d (65-point cube), libx265 | ratio |"
echo "|---|---|---|---|---|"
for round in $(seq 1 "$rounds"); do
  for step in 0 1; do
    case $(((step + round) % 2)) in
      0) t=$(seconds "$tool" --fps 24 --frames 1:48 --ocio "$work/hdr.ocio" --plate-colorspace "S-Log3 S-Gamut3" \
        --background "$work/p_slog3.%d.tif" --out "$work/hdr.mp4") ;;
      1) f=$(seconds ffmpeg -v error -y -start_number 1 -i "$work/p_slog3.%d.tif" \
        -vf "format=rgb48le,lut3d=file=$work/pq.cube,scale=out_color_matrix=bt2020:out_range=tv" "${hevc[@]}" \
        "$work/ffmpeg_hdr.mp4") ;;
    esac
  done
  printf '| 48 S-Log3 TIFF16 | %d | %.2f s | %.2f s | %.2f |\n' "$round" "$t" "$f" "$(echo "$t / $f" | bc -l)"
done
