#!/usr/bin/env bash
# run.sh BUILD SECONDS TARGET...: runs each fuzz target for SECONDS on its corpus:
# the seeds that kavro-fuzz-seeds writes, the files under tools/fuzz/corpus/NAME and
# what earlier runs found (kept in BUILD/fuzz-corpus/NAME). A finding ends the run with
# the target's report; the input that caused it is kept in BUILD/fuzz-findings.
set -euo pipefail
build=$1
seconds=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
seeds=$build/fuzz-seeds
findings=$build/fuzz-findings

"$build/tools/fuzz/kavro-fuzz-seeds" "$seeds"
mkdir -p "$findings"
for target in "$@"; do
    name=${target#kavro-fuzz-}
    corpus=$build/fuzz-corpus/$name
    mkdir -p "$corpus"
    dirs=("$corpus" "$seeds/$name")
    if [ -d "$here/corpus/$name" ]; then
        dirs+=("$here/corpus/$name")
    fi
    echo "== $target: ${seconds} s"
    "$build/tools/fuzz/$target" "${dirs[@]}" -max_total_time="$seconds" -timeout=20 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/$name-"
done
