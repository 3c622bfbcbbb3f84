#!/usr/bin/env bash
# The station's long run: tirvelctl batch on PORTS simulated lines at once
# (default 4) of DEVICES devices each (default 50), each device faulty with
# probability RATE (default 0.1), plus one line whose device never answers.
# Checks that no report row claims a success its device does not bear out,
# that every row names a device that was on its own port, and that the
# silent line is put out of use without holding the others.
#
#   bench/station-soak.sh [PORTS] [DEVICES] [RATE] [SEED]
set -euo pipefail
cd "$(dirname "$0")/.."
ports=${1:-4}
devices=${2:-50}
rate=${3:-0.1}
seed=${4:-2026}

cmake --build build --target tirvelctl kavrel-sim >/dev/null
dir=$(mktemp -d /tmp/station-soak.XXXXXX)
trap 'kill $(jobs -p) 2>/dev/null || true' EXIT
args=()
for k in $(seq 1 "$ports"); do
    build/bin/kavrel-sim --link "$dir/dtu$k" --events "$dir/events$k.jsonl" --devices "$devices" \
        --imei "8600000000${k}0001" --fault-rate "$rate" --seed $((seed + k)) --boot-ms 200 \
        >"$dir/sim$k.log" 2>&1 &
    args+=(--device "$dir/dtu$k")
done
build/bin/kavrel-sim --link "$dir/silent" --silent --events "$dir/events-silent.jsonl" \
    >"$dir/sim-silent.log" 2>&1 &
args+=(--device "$dir/silent")
sleep 1

start=$SECONDS
status=0
build/bin/tirvelctl "${args[@]}" batch cli/examples/apn-profile.txt \
    --count $((ports * devices)) --report "$dir/report.csv" >"$dir/out.txt" 2>"$dir/err.txt" ||
    status=$?
echo "exit $status after $((SECONDS - start)) s; files in $dir"
tail -n 3 "$dir/err.txt"

python3 - "$dir" "$ports" cli/examples/apn-profile.txt <<'PY'
import csv, json, sys, os
d, ports, profile = sys.argv[1], int(sys.argv[2]), sys.argv[3]
wanted = {}
for line in open(profile, encoding="utf-8"):
    line = line.strip()
    if line and line[0].isdigit() and "=" in line:
        number = int(line.split(".")[0])
        wanted[number] = line.split("=", 1)[1]
rows = list(csv.reader(open(os.path.join(d, "report.csv"), encoding="utf-8")))[1:]
events, faults = {}, {}
for k in range(1, ports + 1):
    current = None
    powered = {}
    for line in open(os.path.join(d, f"events{k}.jsonl")):
        e = json.loads(line)
        if e["event"] == "power-on":
            current = e["imei"]
            powered.setdefault(current, {})
        elif e["event"] == "set" and current:
            powered[current][e["item"]] = e.get("new_text")
        elif e["event"] == "fault":
            faults[e["imei"]] = e.get("fault")
    events[os.path.join(d, f"dtu{k}")] = powered
false_ok, mismatched, seen, ok, failed = [], [], set(), 0, 0
unnamed = 0
for port, time, imei, version, result, items, message in rows:
    powered = events.get(port, {})
    if result != "OK" and not (len(imei) == 15 and imei.isdigit()):
        # A failure that could not name its device (its IMEI spoilt or never
        # read) names no other device either.
        unnamed += 1
        failed += 1
        continue
    if imei not in powered or imei in seen:
        mismatched.append((port, imei))
        continue
    seen.add(imei)
    if result == "OK":
        ok += 1
        stored = powered[imei]
        if any(stored.get(n) != v for n, v in wanted.items()):
            false_ok.append((port, imei, faults.get(imei)))
    else:
        failed += 1
healthy_failed = sum(1 for p, t, i, v, r, n, m in rows
                     if r != "OK" and len(i) == 15 and i.isdigit() and i not in faults)
err = open(os.path.join(d, "err.txt"), encoding="utf-8").read()
silent_out = "silent: out of use" in err
print(f"rows {len(rows)}: {ok} OK, {failed} failed; faulty devices {len(faults)}; "
      f"false successes {len(false_ok)}; rows not matched to their port's device {len(mismatched)}; "
      f"failed rows of fault-free devices {healthy_failed}; failed rows naming no device {unnamed}; "
      f"silent port out of use: {silent_out}")
for f in false_ok + mismatched:
    print("  ", f)
sys.exit(1 if false_ok or mismatched or not silent_out else 0)
PY
