#!/usr/bin/env bash
# relumo-tool fit of a large capture: by default 60 camera-like JPEG
# photographs of 16000 x 15000 pixels (240 megapixels each), written once
# by build/bench/make_fit_capture into FOLDER (default
# ${TMPDIR:-/tmp}/relumo-large-fit, some 3 GB, kept for the next run) and
# fitted as LRGB and as RGB with every core. Prints the machine's cores
# and memory bandwidth, and per fit its time, peak resident memory, bytes
# per map pixel and time per photograph; a fit that does not fit in this
# machine's memory is refused before any decoding, with the memory it
# needs. COUNT, WIDTH and HEIGHT change the capture, THREADS adds
# --threads, BUILD names the build folder (default build/).
#
#   bench/large_fit.sh [FOLDER]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build}
folder=${1:-${TMPDIR:-/tmp}/relumo-large-fit}
count=${COUNT:-60}
width=${WIDTH:-16000}
height=${HEIGHT:-15000}
threads=()
if [[ -n "${THREADS:-}" ]]; then threads=(--threads "$THREADS"); fi

"$build/bench/make_fit_capture" "$folder" "$count" "$width" "$height"
echo "photographs: $(du -sh --exclude='*.ptm' "$folder" | cut -f1) on disk"
for layout in lrgb rgb; do
  out="$folder/fitted-$layout.ptm"
  echo "== fit --format $layout ${threads[*]}"
  start=$(date +%s.%N)
  status=0
  /usr/bin/time -f "peak resident memory (time): %M KB" \
    "$build/relumo-tool" fit "$folder/capture.lp" -o "$out" --format "$layout" --quiet \
    "${threads[@]}" || status=$?
  end=$(date +%s.%N)
  awk -v s="$start" -v e="$end" -v n="$count" \
    'BEGIN { printf "time: %.1f s, %.2f s per photograph\n", e - s, (e - s) / n }'
  if [[ $status -eq 0 ]]; then
    echo "map: $(stat -c %s "$out") bytes"
  else
    echo "exit status: $status"
  fi
  rm -f "$out"
done
