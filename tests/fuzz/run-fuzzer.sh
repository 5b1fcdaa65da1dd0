#!/usr/bin/env bash
# Runs one fuzz target from a scratch copy of its seeds, deterministically: a
# fixed seed and a fixed number of inputs, without address randomisation,
# allocations limited one by one (-malloc_limit_mb) rather than by sampled
# RSS alone, a timeout far above any input's time. Two runs of one commit
# execute the same inputs and print the same figures (-reload=0: libFuzzer
# would otherwise read its corpus folder again every second). Any crash, leak,
# timeout, out-of-memory or sanitizer report fails the run; what the target
# wrote about it (the input that did it) and its log are kept in the artifacts
# folder, whose path is printed. Desktop entries that a target keeps in
# ./samples must then pass desktop-file-validate.
#   run-fuzzer.sh FUZZER SEEDS RUNS MALLOC_LIMIT_MB ARTIFACTS [LIBFUZZER_OPTION...]
# ZV_FUZZ_SEED overrides the seed (1; 0 lets libFuzzer draw one) and
# ZV_FUZZ_SECONDS runs for that long instead of a number of runs:
# scripts/fuzz-long.sh uses them for longer runs with random seeds.
#
# Without address randomisation, where the stack and the heap begin depends
# on the size of the environment and of the arguments, and the fuzzer steers
# by the stack's depth and by the values its comparisons see, pointers
# included. So the target starts from a scratch folder whose name has a fixed
# length, with a fixed environment, and with only relative paths on its
# command line: a run gives the same figures from any checkout and any shell.
# For the same reason the allocator is never purged: libFuzzer purges it once
# a second when the memory in use is high, which moves later allocations by
# the clock.
set -euo pipefail
fuzzer=$1 seeds=$2 runs=$3 malloc_limit_mb=$4 artifacts=$5
length=(-runs="$runs")
[ -z "${ZV_FUZZ_SECONDS:-}" ] || length=(-runs=-1 -max_total_time="$ZV_FUZZ_SECONDS")
work=$(mktemp -d /tmp/zv-fuzz.XXXXXXXX)
trap 'rm -rf "$work"' EXIT
rm -rf "$artifacts"
mkdir -p "$work"/{corpus,found,home,config,config-dirs,data,runtime,lib}
chmod 700 "$work/runtime"
cp -r "$seeds"/. "$work/corpus/" 2>/dev/null || true
# The target and the libraries of its build folder, so that the loader
# names them by paths of the same length wherever the build is.
cp "$fuzzer" "$work/target"
cp -P "$(dirname "$fuzzer")"/lib*.so* "$work/lib/" 2>/dev/null || true
cp "$(dirname "${BASH_SOURCE[0]}")/../lsan.supp" "$work/lsan.supp"
cd "$work"
started=$(date +%s%N)
if ! env -i PATH=/usr/bin:/bin LC_ALL=C.UTF-8 HOME="$work/home" XDG_CONFIG_HOME="$work/config" \
  XDG_CONFIG_DIRS="$work/config-dirs" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/runtime" \
  LD_LIBRARY_PATH="$work/lib" QT_QPA_PLATFORM=offscreen QT_HASH_SEED=0 \
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
  LSAN_OPTIONS=suppressions=lsan.supp:print_suppressions=0 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  setarch "$(uname -m)" -R ./target -seed="${ZV_FUZZ_SEED:-1}" "${length[@]}" \
  -reload=0 -timeout=300 -malloc_limit_mb="$malloc_limit_mb" \
  -rss_limit_mb=$((malloc_limit_mb * 4)) -print_final_stats=1 -purge_allocator_interval=-1 \
  -artifact_prefix=found/ \
  "${@:6}" corpus 2>log; then
  mkdir -p "$artifacts"
  cp -r found/. "$artifacts/"
  cp log "$artifacts/fuzzer.log"
  tail -n 60 log
  echo "$(basename "$fuzzer") failed ($(grep -m1 -o 'Seed: [0-9]*' log));" \
    "what it found and its log are kept in $artifacts:"
  ls -l "$artifacts"
  exit 1
fi
# The figures two runs of one commit must share, then the peak memory and
# the time taken, which vary with the machine.
grep -E '^#[0-9]+[[:space:]]+DONE' log | sed -E 's/ (exec\/s|rss): [^ ]+//g' || true
grep -E '^stat::(number_of_executed_units|new_units_added)' log
echo "peak memory $(grep -oE 'peak_rss_mb: *[0-9]+' log | grep -oE '[0-9]+$') MB"
tenths=$((($(date +%s%N) - started) / 100000000))
echo "$(grep -m1 -o 'Seed: [0-9]*' log), $(grep -o 'Done [0-9]* runs' log) in $((tenths / 10)).$((tenths % 10)) s"
shopt -s nullglob
samples=(samples/*.desktop)
for sample in "${samples[@]}"; do
  desktop-file-validate "$sample" || { echo "rejected: $sample"; cat "$sample"; exit 1; }
done
[ ${#samples[@]} -eq 0 ] || echo "desktop-file-validate accepted ${#samples[@]} sampled entries"
