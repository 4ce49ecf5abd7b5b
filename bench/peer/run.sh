#!/usr/bin/env bash
# Data packets side by side: this runtime (datapacket_bench) and its peer,
# Free Pascal's TBufDataset (bufdataset_peer.pas), on the same 100,000-record
# table, in one run: times, the heap a loaded table holds and the peak of a
# load, then the peak resident size of each program reading one form. Needs
# Debian's fp-compiler and fp-units-db (Free Pascal 3.2), and /usr/bin/time
# for the resident sizes; not part of `make test`. Usage, from the
# repository root, after `make build`:
#   bench/peer/run.sh            # BUILD=build by default
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${BUILD:-build}"
out="$build/peer"
if ! command -v fpc > /dev/null; then
  echo "fpc not found: install Debian's fp-compiler and fp-units-db" >&2
  exit 1
fi
mkdir -p "$out"
fpc -O2 -v0 -FE"$out" "$here/bufdataset_peer.pas" > /dev/null
echo "== this runtime: datapacket_bench (medians of 5; CPU is the process's CPU time)"
"$build/bin/datapacket_bench" --benchmark_min_time=1 --benchmark_repetitions=5 \
  --benchmark_report_aggregates_only=true 2> /dev/null | grep -E '^Benchmark|_median'
echo "== peer: Free Pascal TBufDataset (medians of 5)"
"$out/bufdataset_peer"
if [ -x /usr/bin/time ]; then
  echo "== peak resident size of the whole program, one form (source table, packet, loaded table)"
  for form in Xml Binary; do
    ours=$(/usr/bin/time -f %M "$build/bin/datapacket_bench" --benchmark_filter="Read$form" \
      --benchmark_min_time=1 2>&1 > /dev/null | tail -n 1)
    lower=$(echo "$form" | tr '[:upper:]' '[:lower:]')
    peer=$(/usr/bin/time -f %M "$out/bufdataset_peer" "$lower" 2>&1 > /dev/null | tail -n 1)
    echo "$form: this runtime $((ours / 1024)) MiB, peer $((peer / 1024)) MiB"
  done
fi
