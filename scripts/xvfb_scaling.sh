#!/usr/bin/env bash
# Full-screen scaling on a 1920x1080 display under Xvfb: a 320x200 screen at 4:3, read
# back from a screenshot. Integer scaling must show every source pixel as a block of the
# same whole size, centred on black; aspect scaling a 1440x1080 picture, centred, whose
# pixels away from their edges keep their colour. Both through the window surface and
# through SDL's software renderer (the texture path).
# Usage: scripts/xvfb_scaling.sh [build dir, default build/release] [folder for the shots]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/release}"
shots="${2:-$(mktemp -d)}"
mkdir -p "$shots"
cmake --build "$build" --target quorvel_scaling_pattern >/dev/null
pattern="$build/tests/quorvel_scaling_pattern"

# shoot <scaling> <png> [environment...]: shows the pattern full screen, waits until it is
# drawn, takes the root window and ends the program.
shoot() {
  local scaling="$1" png="$2"; shift 2
  env "$@" xvfb-run -a -s "-screen 0 1920x1080x24" bash -c '
    out=$(mktemp)
    "$0" "$1" > "$out" &
    program=$!
    for _ in $(seq 100); do grep -q drawn "$out" && break; sleep 0.1; done
    sleep 0.5
    import -window root "$2"
    kill $program
    wait $program 2>/dev/null || true
    rm -f "$out"' "$pattern" "$scaling" "$png"
}

check() {
  local scaling="$1" png="$2"
  convert "$png" -depth 8 rgb:- | python3 -c '
import sys
policy, data = sys.argv[1], sys.stdin.buffer.read()
W, H, w, h = 1920, 1080, 320, 200
assert len(data) == W * H * 3, "the screenshot is not 1920x1080"
def at(x, y):
    i = 3 * (y * W + x)
    return tuple(data[i:i + 3])
def colour(sx, sy):
    i = (sx * 7 + sy * 13) % 254 + 1
    return (i, 255 - i, i * 37 % 256)
rows = [y for y in range(H) if any(data[3 * y * W + k] for k in range(0, 3 * W, 3 * 8))]
top, bottom = rows[0], rows[-1] + 1
cols = [x for x in range(W) if any(at(x, y) != (0, 0, 0) for y in range(top, bottom, 7))]
left, right = cols[0], cols[-1] + 1
aw, ah = right - left, bottom - top
print(f"{policy}: picture {aw}x{ah} at {left},{top}")
assert left == W - right and top == H - bottom, "the picture is not centred"
for y in list(range(0, top)) + list(range(bottom, H)):
    assert not any(data[3 * y * W:3 * (y + 1) * W]), f"border row {y} is not black"
if policy == "integer":
    assert aw % w == 0 and ah % h == 0, "not a whole multiple"
    fx, fy = aw // w, ah // h
    for y in range(ah):
        for x in range(aw):
            got, want = at(left + x, top + y), colour(x // fx, y // fy)
            assert got == want, f"pixel {x},{y} of the picture is {got}, not {want}"
    print(f"integer: every pixel a {fx}x{fy} block")
else:
    assert (aw, ah) == (1440, 1080), f"aspect gave {aw}x{ah}"
    # Each source pixel is 4.5 x 5.4 display pixels; its centre keeps its colour.
    for sy in range(h):
        for sx in range(w):
            x, y = left + int((sx + 0.5) * aw / w), top + int((sy + 0.5) * ah / h)
            assert at(x, y) == colour(sx, sy), f"source pixel {sx},{sy} is {at(x, y)}"
    print("aspect: 1440x1080, centred, every pixel its colour at its centre")
' "$scaling"
}

for renderer in surface software; do
  environment=()
  [[ $renderer == software ]] && environment=(SDL_RENDER_DRIVER=software)
  for scaling in integer aspect; do
    png="$shots/${scaling}_${renderer}.png"
    shoot "$scaling" "$png" "${environment[@]}"
    echo -n "$renderer "
    check "$scaling" "$png"
  done
done
echo "screenshots in $shots"
