#!/bin/sh
# The main job: builds the SDK and its tools, starts a simulated Hecr scale
# on a loopback address, downloads a sample PLU table (names in several
# scripts) through the library with the vemka command-line host, uploads it
# back, checks that every cell survived the round trip, and stops the scale.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVEMKA_BUILD_TESTS=OFF -DVEMKA_BUILD_BENCH=OFF >/dev/null
cmake --build build-release -j "$(nproc 2>/dev/null || echo 2)"
bin=build-release/tools

work="$(mktemp -d)"
export VEMKASDK_INI="$work/libvemkasdk.ini"
printf '[System]\nSyncTimeOut=500\nSyncTryCount=2\nGetDeviceTimeOut=300\nGetDeviceTryCount=1\nDebugDir=%s\n' \
  "$work/debug" > "$VEMKASDK_INI"

scale=127.0.0.2
pecr=127.0.0.3
sample=docs/samples/plu_sample.txt
back="$work/plu_back.txt"

# The simulated scale keeps its PLU table in memory; its text fields are
# UTF-8 (code page 65001), so names in any script fit. It stops by itself
# after --duration seconds should this script be killed before its trap runs.
. scripts/sim-process.sh
trap stop_sim EXIT
trap 'exit 130' INT TERM
start_sim "$work/sim.out" "$bin/vemka-sim" --hecr "$scale" --codepage 65001 --pecr "$pecr" --pecr-record 128 \
  --quiet --duration 300
echo "== Simulated Hecr scale on $scale and Pecr scale on $pecr running (process $sim_pid)"

# Discovery commands, when this build of the host has them.
if "$bin/vemka" --help 2>/dev/null | grep -q '^ *info '; then
  echo "== vemka info $scale"
  "$bin/vemka" info "$scale" || true
fi
if "$bin/vemka" --help 2>/dev/null | grep -q '^ *scan '; then
  echo "== vemka scan ${scale%.*}.255"
  "$bin/vemka" scan "${scale%.*}.255" || true
fi

rows=$(($(wc -l <"$sample") - 1))
echo "== Downloading $rows PLUs from $sample (UTF-8) to the scale"
start=$(date +%s.%N)
"$bin/vemka" download "$scale" plu "$sample?65001"
mid=$(date +%s.%N)
echo "== Uploading the scale's PLU table into $back"
"$bin/vemka" upload "$scale" plu "$back?65001"
end=$(date +%s.%N)

echo "== Comparing every cell of the sample's columns with the uploaded table"
# Rows are matched by ID; the uploaded file holds every column of the PLU
# record (in its own order, after a byte-order mark), the sample only some.
awk -F'\t' '
  { sub(/\r$/, "") }
  FNR == 1 && NR == 1 { for (i = 1; i <= NF; i++) scol[i] = $i; sn = NF; next }
  NR == FNR { srow[$1] = $0; ids[++count] = $1; next }
  FNR == 1 {
    sub(/^\357\273\277/, "")
    for (i = 1; i <= NF; i++) ucol[$i] = i
    for (i = 1; i <= sn; i++)
      if (!(scol[i] in ucol)) { printf "column %s missing from the upload\n", scol[i]; bad++ }
    ucols = NF
    next
  }
  { urow[$1] = $0; uploaded++ }
  END {
    for (r = 1; r <= count; r++) {
      id = ids[r]
      if (!(id in urow)) { printf "PLU %s missing from the upload\n", id; bad++; continue }
      split(srow[id], s, "\t"); split(urow[id], u, "\t")
      for (i = 1; i <= sn; i++) {
        cells++
        if (s[i] != u[ucol[scol[i]]]) {
          if (++bad <= 10) printf "PLU %s %s: sent \"%s\", got back \"%s\"\n", id, scol[i], s[i], u[ucol[scol[i]]]
        }
      }
    }
    printf "rows sent %d, rows uploaded %d, upload columns %d, cells compared %d, differences %d\n",
           count, uploaded, ucols, cells, bad + 0
    exit (bad > 0 ? 1 : 0)
  }' "$sample" "$back"

echo "== A few uploaded rows:"
sed -n '2,6p' "$back" | cut -f1,5,6,13 | tr -d '\r'
awk -v a="$start" -v b="$mid" -v c="$end" -v n="$rows" 'BEGIN {
  printf "== Summary: %d PLUs down in %.2f s, up in %.2f s; the round trip is exact.\n", n, b - a, c - b }'

echo "== The unit table goes down and comes back the same way"
printf 'ID\tDescription\r\n1\tkg\r\n2\tpcs\r\n4\tlb\r\n' >"$work/units.txt"
"$bin/vemka" download "$scale" unit "$work/units.txt"
"$bin/vemka" upload "$scale" unit "$work/units_back.txt"
sed -n '1,6p' "$work/units_back.txt" | tr -d '\r'

echo "== A PLU table through the simulated Pecr scale on $pecr (128-byte records)"
printf 'ID\tName1\tPrice\tUnitID\tLabel1ID\tName2\r\n101\tApples\t2.49\t1\t3\tfresh\r\n102\tPears\t3.1\t1\t1\tlocal\r\n103\tBread\t1.99\t0\t2\tdaily\r\n' \
  >"$work/pecr_plu.txt"
"$bin/vemka" download "$pecr" plu "$work/pecr_plu.txt"
"$bin/vemka" upload "$pecr" plu "$work/pecr_plu_back.txt"
cut -f1,2,3,7,8,17 "$work/pecr_plu_back.txt" | tr -d '\r'

stop_sim
echo "== Simulated scale stopped. Debug files left in $work/debug:"
ls "$work/debug"
