#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each for
# SECONDS (default 20), its corpus seeded from data/ (the history's from a
# few damaging changes to a valid file). Any finding fails.
# Run longer with: scripts/fuzz.sh 600
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ -DOZN_FUZZ=ON \
  -DOZN_TESTS=OFF -DOZN_BENCH=OFF -DCMAKE_CXX_FLAGS="-O1 -g" >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target ozn_fuzz_all
corpus=build-fuzz/corpus
mkdir -p "$corpus"/{datafiles,savefiles,commandline,stake,typed,bulk,history}
cp data/race.txt data/horsename.txt data/odds.txt "$corpus/datafiles/"
printf ' 15000 \r\n' > "$corpus/savefiles/save"
head -c 200 data/odds.txt > "$corpus/savefiles/odds"
printf '20000' > "$corpus/commandline/amount"
head -n1 data/odds.txt | tr -d '\r\n' > "$corpus/commandline/odds-line"
printf '500' > "$corpus/stake/stake"
printf '\x02071518' > "$corpus/typed/trio"
printf '\x050715 03' > "$corpus/typed/trifecta"
printf '\x0507 15/01 03/01 02 03' > "$corpus/bulk/formation"
printf '\x0507-01 03 15 M' > "$corpus/bulk/multi"
# history: table, column, row, value type, length, value bytes (see fuzz_history.cpp)
printf '\x00\x08\x00\x02\x037,x' > "$corpus/history/finish-text"
printf '\x02\x01\x00\x01\x01\x00\x02\x04\x01\x00\x08\xff\xff\xff\xff\xff\xff\xff\x7f' > "$corpus/history/kind-amount"
printf '\x00\x02\x03\x00\x04\xff\xff\xff\x7f\x01\x03\x00\x04\x00' > "$corpus/history/meeting-stake"
export ASAN_OPTIONS=detect_leaks=0
status=0
for target in datafiles savefiles commandline stake typed bulk history; do
  log=build-fuzz/fuzz_$target.log
  if build-fuzz/fuzz_$target -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix=build-fuzz/ "$corpus/$target" >"$log" 2>&1; then
    echo "fuzz_$target: $(grep -o 'number_of_executed_units: [0-9]*' "$log" | grep -o '[0-9]*') runs in $seconds s"
  else
    echo "fuzz_$target found a fault:"
    tail -40 "$log"
    status=1
  fi
done
exit $status
