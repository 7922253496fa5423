#!/usr/bin/env bash
# Builds the extraction engine's fuzz targets (clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for its share of SECONDS (default 60): Verify and
# Extract over archives, and the member-name check. Corpora grow in the build directory; the
# committed seeds in fuzz/seeds start them. Exits 1 when a target found a fault; the input that
# shows it is left in the build directory's artifacts folder.
#
#   tools/fuzz.sh [SECONDS]          FUZZ_BUILD_DIR (default build/fuzz), FUZZ_JOBS (default 2)
#   FUZZ_SANITIZER=thread tools/fuzz.sh [SECONDS]
#                                    ThreadSanitizer instead (build/fuzz-thread): the extract
#                                    target only, the one where the engine's threads meet
set -euo pipefail

seconds=${1:-${FUZZ_SECONDS:-60}}
sanitizer=${FUZZ_SANITIZER:-address,undefined}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ "$sanitizer" = thread ]; then
  build=${FUZZ_BUILD_DIR:-$root/build/fuzz-thread}
else
  build=${FUZZ_BUILD_DIR:-$root/build/fuzz}
fi
case "$build" in /*) ;; *) build=$root/$build ;; esac
jobs=${FUZZ_JOBS:-2}

for tool in clang clang++ cmake ninja; do
  command -v "$tool" >/dev/null || { echo "fuzz: $tool missing (tools/setup-deps.sh)" >&2; exit 2; }
done

# minizip is instrumented too when zlib's sources are unpacked (tools/build-mingw-deps.sh).
zlib_src=
for d in "$root"/build/src/zlib-*/; do
  [ -f "$d/contrib/minizip/unzip.c" ] && zlib_src=${d%/} && break
done

if [ ! -f "$build/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S "$root/fuzz" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=None \
    -DVORLUNE_ZLIB_SOURCE="$zlib_src" -DVORLUNE_FUZZ_SANITIZER="$sanitizer" >/dev/null
fi
if ! cmake --build "$build" -j "$jobs" >"$build/build.log" 2>&1; then
  echo "fuzz: build failed:" >&2
  grep -E 'error|undefined' "$build/build.log" | head -n 20 >&2
  exit 2
fi

mkdir -p "$build/artifacts"
# The extract target writes thousands of small trees a second: keep them in memory if possible,
# in a folder of this run's own that goes when it ends, however the fuzzer ended.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
  TMPDIR=$(mktemp -d /dev/shm/vorlune-fuzz.XXXXXX)
else
  TMPDIR=$(mktemp -d -t vorlune-fuzz.XXXXXX)
fi
export TMPDIR
trap 'rm -rf "$TMPDIR"' EXIT
status=0
# target, share of the time in percent, seeds, longest input
run() {
  local target=$1 share=$2 seeds=$3 max_len=$4
  local time=$((seconds * share / 100))
  [ "$time" -ge 1 ] || time=1
  local corpus=$build/corpus/$target
  mkdir -p "$corpus"
  echo "fuzz: $target for ${time}s"
  local log=$build/$target.log
  if "$build/fuzz_$target" -max_total_time="$time" -max_len="$max_len" -timeout=20 \
      -rss_limit_mb=2048 -dict="$root/fuzz/zip.dict" -print_final_stats=1 \
      -artifact_prefix="$build/artifacts/$target-" "$corpus" "$seeds" >"$log" 2>&1; then
    # The last status line: executions, coverage and corpus size.
    grep -E '^#[0-9]+' "$log" | tail -n 1 | sed 's/^/  /'
    grep -E 'stat::number_of_executed_units' "$log" | sed 's/^/  /'
  else
    status=1
    echo "fuzz: $target FOUND A FAULT (log: $log)" >&2
    grep -E 'ERROR|SUMMARY|^==[0-9]+==|runtime error|Test unit written' "$log" | head -n 20 >&2
  fi
}

if [ "$sanitizer" = thread ]; then
  run extract 100 "$root/fuzz/seeds/archive" 16384
else
  run verify 40 "$root/fuzz/seeds/archive" 16384
  run extract 40 "$root/fuzz/seeds/archive" 16384
  run member_name 20 "$root/fuzz/seeds/name" 512
fi
exit $status
