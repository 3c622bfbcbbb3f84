# shellcheck shell=bash
# Sourced by the screenshot scripts: a scratch folder for the run, the
# simulators they start (stopped again on the way out), and the app's
# settings and the simulators' links kept there, away from the user's own,
# on a display of fixed scale.
out=docs/screenshots
mkdir -p "$out"
work=$(mktemp -d)
sims=()

# stop_sims: every simulator started so far.
stop_sims() {
    for pid in "${sims[@]}"; do
        kill -TERM "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    sims=()
}
cleanup() {
    stop_sims
    rm -rf "$work"
}
trap cleanup EXIT

export XDG_CONFIG_HOME="$work/config"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=1
unset QT_SCREEN_SCALE_FACTORS QT_AUTO_SCREEN_SCALE_FACTOR

xvfb() {
    xvfb-run -a -s "-screen 0 1280x960x24 -dpi 96 -nolisten tcp" "$@"
}

# start_sim COM ARGS...: one simulator registered as COM, once it says it is
# ready; what it says goes to $work/simCOM.out.
start_sim() {
    local log="$work/sim$1.out"
    : >"$log"
    build/bin/kavrel-sim --com "$@" </dev/null >"$log" 2>&1 &
    sims+=($!)
    for _ in $(seq 100); do
        [ -s "$log" ] && break
        sleep 0.1
    done
}
