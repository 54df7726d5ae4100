# Shared by the transfer benchmarks: builds the Release helpers
# and gives a timing and a median. Sourced, not run.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build="$root/build-bench/transfer"
mkdir -p "$build"
# moc looks at every folder again, so that headers added since the last
# bench build are seen.
find "$build" -path '*_autogen/timestamp' -delete 2>/dev/null || true
if ! { cmake -S "$root/bench/transfer_tools" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release &&
       cmake --build "$build" --target webcopy upload_server download_bench download_server; } >"$build/build.log" 2>&1; then
    cat "$build/build.log"
    echo "${bench_name}: build failed"
    exit 1
fi
webcopy="$build/quorvel/tools/webcopy/webcopy"
upload_server="$build/upload_server"
download_bench="$build/download_bench"
download_server="$build/download_server"

# timed OUTFILE CMD...: runs CMD, writes "seconds peak_kib" to OUTFILE.
timed() {
    local out=$1; shift
    /usr/bin/time -f '%e %M' -o "$out.time" "$@" >"$out.log" 2>&1 || { cat "$out.log"; return 1; }
    cat "$out.time" >"$out"
}

# median of the numbers given
median() {
    printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'
}

# seconds CMD...: runs CMD and prints the seconds it took.
seconds() {
    local start end
    start=$(date +%s.%N)
    "$@"
    end=$(date +%s.%N)
    awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f\n", e - s }'
}

# report NAME SIZE "OUR_SECS..." "PEER_SECS..." PEAK_KIB PEER_NAME ["DURABLE_PEER_SECS..."]
# The engine's file is on the disk when it ends (it is flushed before its
# rename); the durable peer, when given, is the peer followed by a flush of
# its file, so its ratio compares like with like.
report() {
    local name=$1 size=$2 ours peer durable=0
    ours=$(median $3)
    peer=$(median $4)
    [[ -n "${7:-}" ]] && durable=$(median $7)
    awk -v ours="$ours" -v peer="$peer" -v durable="$durable" -v size="$size" -v kib="$5" -v name="$name" \
        -v pname="$6" 'BEGIN {
        printf "engine median %.3f s (%.0f MiB/s), %s median %.3f s (%.0f MiB/s)",
               ours, size / 1048576 / ours, pname, peer, size / 1048576 / peer
        if (durable > 0)
            printf ", %s + flush median %.3f s (%.0f MiB/s)", pname, durable, size / 1048576 / durable
        printf "\n%s: ratio=%.2f", name, peer / ours
        if (durable > 0)
            printf " durable_ratio=%.2f", durable / ours
        printf " peak_mib=%.1f\n", kib / 1024
    }'
}
