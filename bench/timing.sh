# Sourced by the start-up benches. bench_time_runs RUNS MARK COMMAND...
# runs COMMAND RUNS times and prints the mean, median, min and max of the time
# from exec to the line MARK on its standard output (the whole run when MARK
# is empty). The clock stops when the line arrives, so what the program does
# after it (tearing its windows down) is not counted; the run is still waited
# for, so runs never overlap.
bench_time_runs() {
    local runs=$1 mark=$2 times=() start end stamp
    shift 2
    stamp=$(mktemp)
    for _ in $(seq "$runs"); do
        : >"$stamp"
        start=$(date +%s%N)
        if [ -n "$mark" ]; then
            "$@" 2>/dev/null | {
                while IFS= read -r line; do
                    if [ "${line%$'\r'}" = "$mark" ]; then
                        date +%s%N >"$stamp"
                        break
                    fi
                done
                cat >/dev/null
            } || true
            end=$(cat "$stamp")
            if [ -z "$end" ]; then
                echo "  '$*' never printed '$mark'" >&2
                rm -f "$stamp"
                return 1
            fi
        else
            "$@" >/dev/null 2>&1 || true
            end=$(date +%s%N)
        fi
        times+=($(((end - start) / 1000)))
    done
    rm -f "$stamp"
    printf '%s\n' "${times[@]}" | sort -n | awk '
        { t[NR] = $1; sum += $1 }
        END {
            printf "  mean %.1f ms, median %.1f ms, min %.1f ms, max %.1f ms\n",
                   sum / NR / 1000, t[int((NR + 1) / 2)] / 1000, t[1] / 1000, t[NR] / 1000
        }'
}
