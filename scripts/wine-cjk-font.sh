#!/usr/bin/env bash
# Lets Wine draw Chinese: the Chinese dialog templates ask for the face "宋体"
# (SimSun), and message boxes, menus and captions use Wine's own UI faces, none
# of which has CJK glyphs. Both are pointed at WenQuanYi Micro Hei
# (fonts-wqy-microhei), which Wine finds through fontconfig: face
# replacements for the named faces, and font links so the UI faces fall back
# to it for the characters they lack.
#
#   scripts/wine-cjk-font.sh            for $WINEPREFIX (or Wine's default prefix)
#
# Safe to run again: the values are only set.
set -euo pipefail

face="WenQuanYi Micro Hei"
file="wqy-microhei.ttc"
reg=$(mktemp --suffix=.reg)
trap 'rm -f "$reg"' EXIT

python3 - "$reg" "$face" "$file" <<'PY'
import sys
path, face, file = sys.argv[1:4]
named = ["宋体", "新宋体", "SimSun", "NSimSun", "MS Song", "SimHei", "黑体"]
ui = ["Tahoma", "MS Shell Dlg", "MS Shell Dlg 2", "MS Sans Serif", "Microsoft Sans Serif",
      "Segoe UI", "Arial", "Lucida Sans Unicode", "System"]
link = (file + "," + face + "\0\0").encode("utf-16-le")
multi = ",".join("%02x" % b for b in link)
lines = ["Windows Registry Editor Version 5.00", ""]
lines.append(r"[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]")
lines += ['"%s"="%s"' % (n, face) for n in named]
lines.append("")
lines.append(r"[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]")
lines += ['"%s"="%s"' % (n, face) for n in named]
lines.append("")
lines.append(r"[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink]")
lines += ['"%s"=hex(7):%s' % (n, multi) for n in ui]
lines.append("")
with open(path, "wb") as out:
    out.write(b"\xff\xfe" + "\r\n".join(lines).encode("utf-16-le"))
PY

WINEDEBUG=${WINEDEBUG:--all} wine regedit /S "Z:${reg//\//\\}"
