#!/usr/bin/env bash
# The commands on maps of 16000 x 15000 pixels (240 megapixels), LRGB (a
# 2.2 GB file) and RGB (4.3 GB): info, render to PNG and to PPM, convert to
# lossless JPEG-LS and back (the bytes compared with the original), normals,
# depth (Poisson), mesh --step 4, and the viewer opening the map fitted to
# its window on a private Xvfb. One command at a time; each prints its time,
# its peak resident memory and, for render, convert and normals, that peak
# against the input file and the output together. The maps are written by
# build/bench/make_large_map into FOLDER (default ${TMPDIR:-/tmp}/relumo-
# large-maps), every output is removed after its command and the maps at the
# end. WIDTH and HEIGHT change the size, FORMATS the maps ("lrgb rgb"),
# THREADS adds --threads, BUILD names the build folder (default build/).
# Not part of the tests: it needs some 7 GB of memory and 15 GB of disk.
#
#   bench/large_maps.sh [FOLDER]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build}

# Run under xvfb-run by the viewer's measurement below: opens the map and
# waits until the viewer has drawn its fitted view and gone idle (no more
# processor time over a second), then prints the time since the start and
# the peak resident memory, and ends the viewer.
if [[ "${1:-}" == --measure-viewer ]]; then
  map=$2
  log=$3
  start=$(date +%s.%N)
  "$build/relumo" "$map" >"$log" 2>&1 &
  pid=$!
  last=-1
  while kill -0 "$pid" 2>/dev/null; do
    sleep 1
    # utime + stime in clock ticks; the normals line comes once the map is
    # loaded and the window shown, before the view is fitted.
    now=$(awk '{ print $14 + $15 }' "/proc/$pid/stat")
    if grep -q "Computing Normals from PTM" "$log" && [[ "$now" == "$last" ]]; then break; fi
    last=$now
  done
  end=$(date +%s.%N)
  if ! kill -0 "$pid" 2>/dev/null; then
    echo "the viewer ended: $(tail -n 3 "$log")"
    exit 1
  fi
  peak=$(awk '/VmHWM/ { print $2 }' "/proc/$pid/status")
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  awk -v s="$start" -v e="$end" -v p="$peak" \
    'BEGIN { printf "  open, fitted and idle: %.1f s (to within 1 s), peak %.2f GB\n", e - s - 1, p / 1048576 }'
  exit 0
fi

folder=${1:-${TMPDIR:-/tmp}/relumo-large-maps}
width=${WIDTH:-16000}
height=${HEIGHT:-15000}
formats=${FORMATS:-lrgb rgb}
threads=()
if [[ -n "${THREADS:-}" ]]; then threads=(--threads "$THREADS"); fi
mkdir -p "$folder"
trap 'rm -f "$folder"/*.ptm "$folder"/out.* "$folder"/viewer.log' EXIT

bytes() { stat -c %s "$1" 2>/dev/null || echo 0; }

# run NAME INPUT OUTPUT COMMAND...: the command's time and peak memory;
# with an output, its size and the peak over input + output.
run() {
  local name=$1 input=$2 output=$3
  shift 3
  local report
  report=$(mktemp)
  local status=0
  /usr/bin/time -o "$report" -f "%e %M" "$@" >/dev/null 2>"$folder/out.err" || status=$?
  read -r seconds peak_kb <"$report"
  rm -f "$report"
  local in_bytes out_bytes
  in_bytes=$(bytes "$input")
  out_bytes=0
  [[ -n "$output" ]] && out_bytes=$(bytes "$output")
  awk -v n="$name" -v t="$seconds" -v p="$peak_kb" -v i="$in_bytes" -v o="$out_bytes" 'BEGIN {
    printf "  %-22s %7.1f s  peak %6.2f GB", n, t, p / 1048576
    if (o > 0) printf "  output %6.2f GB  peak / (input + output) %.2f", o / 1e9, p * 1024 / (i + o)
    printf "\n" }'
  if [[ $status -ne 0 ]]; then
    echo "    exit status $status: $(tail -n 2 "$folder/out.err")"
  fi
}

for format in $formats; do
  map="$folder/map-$format.ptm"
  echo "== $format map of $width x $height"
  "$build/bench/make_large_map" "$map" "$format" "$width" "$height" | grep -v '^Writing'
  echo "  file: $(bytes "$map") bytes"
  run info "$map" "" "$build/relumo-tool" info "$map" "${threads[@]}"
  run "render png" "$map" "$folder/out.png" \
    "$build/relumo-tool" render "$map" -o "$folder/out.png" --light 0.4,0.3 "${threads[@]}"
  rm -f "$folder/out.png"
  run "render ppm" "$map" "$folder/out.ppm" \
    "$build/relumo-tool" render "$map" -o "$folder/out.ppm" --light 0.4,0.3 "${threads[@]}"
  rm -f "$folder/out.ppm"
  run "convert to jpegls" "$map" "$folder/out.jpegls.ptm" \
    "$build/relumo-tool" convert "$map" -o "$folder/out.jpegls.ptm" --format jpegls --quiet \
    "${threads[@]}"
  run "convert back" "$folder/out.jpegls.ptm" "$folder/out.back.ptm" \
    "$build/relumo-tool" convert "$folder/out.jpegls.ptm" -o "$folder/out.back.ptm" \
    --format "$format" --quiet "${threads[@]}"
  if cmp -s "$map" "$folder/out.back.ptm"; then
    echo "    the map back from JPEG-LS is the original, byte for byte"
  else
    echo "    the map back from JPEG-LS differs from the original"
  fi
  rm -f "$folder/out.jpegls.ptm" "$folder/out.back.ptm"
  run normals "$map" "$folder/out.png" \
    "$build/relumo-tool" normals "$map" -o "$folder/out.png" "${threads[@]}"
  rm -f "$folder/out.png"
  run "depth (poisson)" "$map" "$folder/out.png" \
    "$build/relumo-tool" depth "$map" -o "$folder/out.png" "${threads[@]}"
  rm -f "$folder/out.png"
  run "mesh --step 4" "$map" "$folder/out.ply" \
    "$build/relumo-tool" mesh "$map" -o "$folder/out.ply" --step 4 "${threads[@]}"
  rm -f "$folder/out.ply"
  # The viewer holds the stored bytes, their integer form (16 bytes a pixel
  # packed for LRGB, 48 for RGB) and the normals (3): for a 240-megapixel
  # RGB map some 16 GB, which a shared machine may not have free.
  packed=16
  [[ $format == rgb ]] && packed=48
  need=$(( $(bytes "$map") + width * height * (packed + 3) ))
  free=$(awk '/MemAvailable/ { printf "%.0f", $2 * 1024 }' /proc/meminfo)
  if [[ ! -x "$build/relumo" ]]; then
    echo "  viewer: not built"
  elif (( need + (2 << 30) > free )); then
    awk -v n="$need" -v f="$free" \
      'BEGIN { printf "  viewer: skipped, it needs %.1f GB and %.1f GB are free\n", n / 2^30, f / 2^30 }'
  else
    echo "  viewer (a 1600 x 1000 screen):"
    xvfb-run -a -s "-screen 0 1600x1000x24" "$0" --measure-viewer "$map" "$folder/viewer.log" ||
      true
  fi
  rm -f "$map"
done
