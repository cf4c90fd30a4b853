#!/usr/bin/env bash
# Renders an 8-layer stack of 2048x2048 bitmap layers with `tessary render`
# and composites the same images with ImageMagick and oiiotool where they
# have the operation; prints times and ratios. Usage:
#   bench/render_vs_peers.sh [path/to/tessary] [threads]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
tessary="${1:-$root/build/release/bin/tessary}"
threads="${2:-2}"
work="$(mktemp -d)"

# The comparison needs the real ImageMagick; outside CI the bench installs it
# when it is missing (the machine may carry a stand-in without the tools).
if [ ! -x /usr/bin/convert ] && [ -z "${CI:-}" ] && command -v apt-get >/dev/null 2>&1; then
  echo "bench: installing ImageMagick for the comparison" >&2
  apt-get install -y imagemagick >/dev/null 2>&1 || echo "bench: could not install ImageMagick" >&2
fi
trap 'rm -rf "$work"' EXIT

# Eight 2048^2 layers made by the program itself from procedural scenes.
for i in 0 1 2 3 4 5 6 7; do
  cat > "$work/src$i.json" <<JSON
{"format": "tessary-scene", "version": 1, "root": {"type": "noise", "kind": "fractal", "size": 0.$((i + 1)),
 "octaves": 3, "seed": $i, "color1": [0.1, 0.$i, 0.3], "color2": [0.9, 0.8, 0.$((7 - i))]}}
JSON
  "$tessary" render "$work/src$i.json" -o "$work/l$i.png" --size 2048 --quiet
done

modes=(Normal Multiply Screen Overlay Difference Normal Lighten "Hard Light")
opacity=(100 100 100 100 100 50 100 100)
{
  echo '{"format": "tessary-scene", "version": 1, "root": {"type": "tessary", "layers": ['
  for i in 0 1 2 3 4 5 6 7; do
    sep=","; [ $i -eq 7 ] && sep=""
    echo "  {\"map\": {\"type\": \"bitmap\", \"file\": \"l$i.png\"}, \"mode\": \"${modes[$i]}\", \"opacity\": ${opacity[$i]}}$sep"
  done
  echo ']}}'
} > "$work/stack.json"

now() { date +%s.%N; }
elapsed() { echo "$(now) - $1" | bc -l; }

t0=$(now)
"$tessary" render "$work/stack.json" -o "$work/tessary.png" --threads "$threads" --quiet
t_tessary=$(elapsed "$t0")
t0=$(now)
"$tessary" render "$work/stack.json" -o "$work/tessary1.png" --threads 1 --quiet
t_tessary1=$(elapsed "$t0")
printf "tessary render, %s threads: %.2f s (1 thread: %.2f s, scaling %.2fx)\n" "$threads" "$t_tessary" \
  "$t_tessary1" "$(echo "$t_tessary1 / $t_tessary" | bc -l)"

# The same images without compositing: one bitmap layer read and written.
# What the 8-layer render costs beyond this is the compositing and the
# reading of the other seven images.
echo '{"format": "tessary-scene", "version": 1, "root": {"type": "bitmap", "file": "l0.png"}}' > "$work/one.json"
t0=$(now)
"$tessary" render "$work/one.json" -o "$work/one.png" --threads "$threads" --quiet
t_one=$(elapsed "$t0")
printf "tessary render of one bitmap (read + write only), %s threads: %.2f s\n" "$threads" "$t_one"

if command -v magick >/dev/null 2>&1 || [ -x /usr/bin/convert ]; then
  im=/usr/bin/convert; command -v magick >/dev/null 2>&1 && im=magick
  t0=$(now)
  MAGICK_THREAD_LIMIT=$threads "$im" "$work/l0.png" "$work/l1.png" -compose Multiply -composite \
    "$work/l2.png" -compose Screen -composite "$work/l3.png" -compose Overlay -composite \
    "$work/l4.png" -compose Difference -composite \
    \( "$work/l5.png" -alpha set -channel A -evaluate set 50% +channel \) -compose Over -composite \
    "$work/l6.png" -compose Lighten -composite "$work/l7.png" -compose HardLight -composite "$work/im.png"
  t_im=$(elapsed "$t0")
  printf "ImageMagick: %.2f s (tessary is %.2fx faster)\n" "$t_im" "$(echo "$t_im / $t_tessary" | bc -l)"
else
  echo "ImageMagick: not installed"
fi

if command -v oiiotool >/dev/null 2>&1; then
  # oiiotool (2.4) has multiply, absdiff (difference) and max (lighten) but
  # no screen, overlay or hard light: the stack it can do is compared as such.
  t0=$(now)
  oiiotool --threads "$threads" "$work/l0.png" "$work/l1.png" --mul \
    "$work/l4.png" --absdiff "$work/l6.png" --max -o "$work/oiio.png"
  t_oiio=$(elapsed "$t0")
  printf "oiiotool (multiply, difference, lighten: 4 images): %.2f s (tessary 8 layers is %.2fx faster)\n" \
    "$t_oiio" "$(echo "$t_oiio / $t_tessary" | bc -l)"
fi
