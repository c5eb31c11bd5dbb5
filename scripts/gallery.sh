#!/usr/bin/env bash
# Renders the gallery: short GIFs of the examples and the showcase, headless on virtual
# time (QUORVEL_RECORD), each under 1 MB. The README shows them beside the code.
# Usage: scripts/gallery.sh [output folder, default docs/gallery]
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-docs/gallery}"
build=build/release
mkdir -p "$out"
scripts/setup.sh
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" --target quorvel-showcase quorvel-play example_fade_in_out \
  example_colour_cycling example_negative_and_grey example_cross_fade_files \
  example_animator_screen example_play_picture example_record_gif example_screen_320x200 \
  example_copper_bars example_split_screen example_raster_320x200 >/dev/null

# record <name> <seconds> <shortest frame, ms> <program> [arguments...]: at half size.
record() {
  local name="$1" seconds="$2" frame="$3"; shift 3
  QUORVEL_RECORD="$out/$name.gif" QUORVEL_RECORD_SECONDS="$seconds" QUORVEL_RECORD_HALF="${half:-1}" \
    QUORVEL_RECORD_FRAME_MS="$frame" "$@" </dev/null
}
# full <name> ...: the same at the screen's own size, for small screens (half of one is
# too small to see) and for screens with text, which reads only at its own 8x16. A full
# frame takes about four times the bytes: fewer frames keep such a GIF under 1 MB.
full() { half=0 record "$@"; }

record fade_in_out 6 60 "$build/examples/example_fade_in_out"
record colour_cycling 4 60 "$build/examples/example_colour_cycling"
record negative_and_grey 6 60 "$build/examples/example_negative_and_grey"
record cross_fade_files 4 60 "$build/examples/example_cross_fade_files"
record animator_screen 3 60 "$build/examples/example_animator_screen"
full copper_bars 3 60 "$build/examples/example_copper_bars"
full split_screen 3 200 "$build/examples/example_split_screen"
full raster_320x200 3 60 "$build/examples/example_raster_320x200"
# The player on a picture of its own: the first frame of the cycling bands.
record play_picture 3 60 "$build/examples/example_play_picture" "$out/colour_cycling.gif"
record showcase 4.5 100 "$build/quorvel-showcase" --tour
# The sample art as quorvel-play shows it, at the pictures' own sizes (the coast's at half);
# a day passes in six seconds.
record sample_coast 3 100 "$build/quorvel-play" samples/coast.lbm
full sample_waterfall 6 120 "$build/quorvel-play" --time 04:00 --day-seconds 6 samples/waterfall.json
full sample_test_ramp 2 100 "$build/quorvel-play" samples/test_ramp.js
full sample_coast_day 6 160 "$build/quorvel-play" --time 04:00 --day-seconds 6 samples/coast_day.json
full screen_320x200 3 60 "$build/examples/example_screen_320x200"
"$build/examples/example_record_gif" "$out/record_gif.gif" >/dev/null

status=0
for gif in "$out"/*.gif; do
  size=$(stat -c %s "$gif")
  printf '%8d  %s\n' "$size" "$gif"
  if ((size >= 1000000)); then
    echo "gallery: $gif is 1 MB or more" >&2
    status=1
  fi
done
exit $status
