#!/usr/bin/env bash
# Prints a small OpenColorIO config made from OCIO's builtin transforms alone:
# ACEScg, ACEScct and S-Log3 S-Gamut3 (picked by the file rules for paths
# holding "slog3"), shown through the ACES 1.0 SDR video view on a
# Rec.1886 / Rec.709 display. The benchmark and the package check use it.
cat <<'EOF'
ocio_profile_version: 2
roles:
  default: ACEScg
  scene_linear: ACEScg
file_rules:
  - !<Rule> {name: SLog3, pattern: "*slog3*", extension: "*", colorspace: S-Log3 S-Gamut3}
  - !<Rule> {name: Default, colorspace: ACEScg}
displays:
  Rec.1886 Rec.709 - Display:
    - !<View> {name: ACES 1.0 - SDR Video, view_transform: ACES 1.0 - SDR Video, display_colorspace: Rec.1886 Rec.709 - Display}
view_transforms:
  - !<ViewTransform>
    name: ACES 1.0 - SDR Video
    from_scene_reference: !<BuiltinTransform> {style: "ACES-OUTPUT - ACES2065-1_to_CIE-XYZ-D65 - SDR-VIDEO_1.0"}
display_colorspaces:
  - !<ColorSpace>
    name: Rec.1886 Rec.709 - Display
    from_display_reference: !<BuiltinTransform> {style: "DISPLAY - CIE-XYZ-D65_to_REC.1886-REC.709"}
colorspaces:
  - !<ColorSpace>
    name: ACES2065-1
  - !<ColorSpace>
    name: ACEScg
    to_scene_reference: !<BuiltinTransform> {style: "ACEScg_to_ACES2065-1"}
  - !<ColorSpace>
    name: ACEScct
    to_scene_reference: !<BuiltinTransform> {style: "ACEScct_to_ACES2065-1"}
  - !<ColorSpace>
    name: S-Log3 S-Gamut3
    to_scene_reference: !<BuiltinTransform> {style: "SONY_SLOG3-SGAMUT3_to_ACES2065-1"}
EOF
