#!/usr/bin/env bash
# Screenshots of the Windows desktop programs under Wine on a virtual X
# display: the window connected to a simulated device in English and Chinese,
# the transfer dialog mid-way through a firmware update, and the station window
# working four ports in both languages. The programs are driven from
# outside by tirvel-driver.exe, as in the Wine desktop suite; each picture is
# taken while the driver holds the state.
#
# Needs the windows build (build-windows/bin: tirvel.exe, tirvel-driver.exe)
# and kavrel-sim of the native build (build/bin). Writes docs/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
tirvel_ensure_packages "${TIRVEL_WINDOWS_PACKAGES[@]}" imagemagick x11-utils

win=build-windows/bin
sim=build/bin/kavrel-sim
for f in "$win/tirvel.exe" "$win/tirvel-station.exe" "$win/tirvel-driver.exe" "$sim"; do
    [ -x "$f" ] || { echo "missing $f: build the windows and default presets first" >&2; exit 1; }
done

export WINEDEBUG=-all
export WINEPREFIX="${TIRVEL_WINEPREFIX:-$PWD/build-windows/wineprefix-shots}"
[ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1
scripts/wine-cjk-font.sh >/dev/null
# Without a window manager Wine draws the caption itself.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x960x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
work=$(mktemp -d)
cleanup() {
    wineserver -k 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
    [ -n "${simpid:-}" ] && kill "$simpid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
export DISPLAY=$display
sleep 1

out=docs/screenshots
mkdir -p "$out"
title_en="Kavrel Batch Configuration Software"
title_zh="DTU批量配置软件"
com=61

start_sim() {
    rm -f "$WINEPREFIX/dosdevices/com$com" "$work/events"
    printf '1,Mode,1\n2,APN,cmnet\n3,Server,10.0.0.1\n4,Port,5001\n5,Heartbeat,60\n' >"$work/params"
    "$sim" --link "$WINEPREFIX/dosdevices/com$com" --at-rate-alias 38400 --boot-ms 200 \
        --params "$work/params" --events "$work/events" "$@" >/dev/null 2>&1 &
    simpid=$!
    sleep 1
}

# Waits for a top-level window whose name is given, then captures it.
capture() {
    local name=$1 file=$2 id=""
    for _ in $(seq 100); do
        id=$(xwininfo -root -tree | grep -F "\"$name\"" | head -1 | awk '{print $1}') || true
        [ -n "$id" ] && break
        sleep 0.2
    done
    [ -n "$id" ] || { echo "no window \"$name\"" >&2; return 1; }
    # From the screen, not the window: a window's own capture misses the
    # parts Wine draws through child X windows.
    local geometry
    geometry=$(xwininfo -id "$id" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4}
        /Width:/{w=$2} /Height:/{h=$2} END{printf "%dx%d+%d+%d", w, h, x, y}')
    import -window root -crop "$geometry" +repage "$file"
    echo "wrote $file"
}

connect_script() {
    cat <<SCRIPT
start Z:$PWD/$win/tirvel.exe
frame 120
command 32778
dialog 1002
type 1002 $com
ok
gone 1002
command 32774
wait-enabled 1132 60
SCRIPT
}

for lang in en zh; do
    start_sim
    title=$title_en
    [ $lang = zh ] && title=$title_zh
    { connect_script; echo "sleep 6000"; echo "close"; echo "wait-exit 30"; } >"$work/drive"
    LANG=$([ $lang = zh ] && echo zh_CN.UTF-8 || echo en_US.UTF-8) \
        wine "$win/tirvel-driver.exe" "Z:$work/drive" >"$work/driver.log" 2>&1 &
    driver=$!
    # The form is filled shortly after the device listed its table; the
    # driver then holds the window for 6 s.
    for _ in $(seq 300); do grep -q "GETDV" "$work/events" 2>/dev/null && break; sleep 0.2; done
    sleep 3
    capture "$title" "$out/tirvel-windows-$lang.png"
    wait "$driver" || { cat "$work/driver.log" >&2; exit 1; }
    kill "$simpid"; wait "$simpid" 2>/dev/null || true; simpid=""
done

# The transfer dialog: an image large enough to catch part-way at the
# pace a pseudo-terminal gives it.
head -c 4000000 /dev/urandom >"$work/fw.bin"
start_sim --firmware-out "$work/received.bin" --start crc
{
    echo "start Z:$PWD/$win/tirvel.exe"
    echo "frame 120"
    echo "command 32778"; echo "dialog 1002"; echo "type 1002 $com"; echo "ok"; echo "gone 1002"
    echo "command 32781"; echo "file Z:${work//\//\\}\\fw.bin"
    echo "command 32780"
    echo "dialog 1137 60"
    echo "sleep 6000"
    echo "cancel"
    echo "sleep 1000"
    echo "close"
} >"$work/drive"
LANG=en_US.UTF-8 wine "$win/tirvel-driver.exe" "Z:$work/drive" >"$work/driver.log" 2>&1 &
driver=$!
for _ in $(seq 300); do
    xwininfo -root -tree | grep -q '"Tranfer' && break
    sleep 0.2
done
sleep 3
capture "Tranfer File" "$out/transfer-windows-en.png" || { cat "$work/driver.log" >&2; exit 1; }
wait "$driver" || { cat "$work/driver.log" >&2; exit 1; }

# The station window: four simulated devices on COM 61-64, their boot loaders
# asking at different moments. The picture is taken once the first device is
# done while the others still send; the window is then closed, the devices in
# flight aborted.
head -c 3000000 /dev/urandom >"$work/station.bin"
work_win="Z:${work//\//\\}"
station_shot() { # LANG LOCALE TITLE CLOSE-QUESTION FILE
    local sims=() k
    for k in 1 2 3 4; do
        rm -f "$WINEPREFIX/dosdevices/com6$k"
        "$sim" --link "$WINEPREFIX/dosdevices/com6$k" --at-rate-alias 38400 \
            --imei "86000000000${k}001" --devices 3 --boot-ms $((200 + (k - 1) * 700)) \
            >/dev/null 2>&1 &
        sims+=($!)
    done
    sleep 1
    rm -f "$work/station-$1.csv" "$work/shot-done"
    cat >"$work/drive" <<SCRIPT
start Z:$PWD/$win/tirvel-station.exe -- --lang $1 -p 61-64 --firmware $work_win\\station.bin --count 8 --report $work_win\\station-$1.csv --start
frame 120
wait-file $work_win\\shot-done 180
close
reply 7 $4 30
wait-exit 60
SCRIPT
    LANG=$2 wine "$win/tirvel-driver.exe" "$work_win\\drive" >"$work/driver.log" 2>&1 &
    driver=$!
    # The header and a first device's row.
    for _ in $(seq 600); do
        [ -f "$work/station-$1.csv" ] && [ "$(wc -l <"$work/station-$1.csv")" -ge 2 ] && break
        sleep 0.2
    done
    sleep 1
    capture "$3" "$5"
    touch "$work/shot-done"
    wait "$driver" || { cat "$work/driver.log" >&2; exit 1; }
    for k in "${sims[@]}"; do kill "$k" 2>/dev/null || true; done
    wait "${sims[@]}" 2>/dev/null || true
}
station_shot en en_US.UTF-8 "Tirvel Station" "A job is running." \
    "$out/station-windows-en.png"
station_shot zh zh_CN.UTF-8 "Tirvel 多端口工位" "任务正在进行。" "$out/station-windows-zh.png"
