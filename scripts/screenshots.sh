#!/usr/bin/env bash
# Starts the program under a virtual X display with sample traffic and writes a screenshot of
# each window into the folder given as the argument. For looking at the windows, not a test.
#   bash scripts/screenshots.sh OUTPUT_FOLDER
set -euo pipefail
out="${1:?usage: screenshots.sh OUTPUT_FOLDER}"
cd "$(dirname "$0")/.."
mkdir -p "$out"
out="$(cd "$out" && pwd)"

sudo_if_needed() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
missing=()
command -v Xvfb >/dev/null || missing+=(xvfb)
command -v xwd >/dev/null || missing+=(x11-apps)
command -v xdotool >/dev/null || missing+=(xdotool)
command -v xwdtopnm >/dev/null || missing+=(netpbm)
if [ "${#missing[@]}" -gt 0 ]; then
  sudo_if_needed apt-get update
  sudo_if_needed apt-get install -y "${missing[@]}"
fi

[ -x build/velmor ] || { cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo && cmake --build build --target velmor; }

home="$(mktemp -d)"
display=":$((90 + RANDOM % 100))"
receiver_port=$((20000 + RANDOM % 20000))
cleanup() {
  [ -n "${program:-}" ] && kill "$program" 2>/dev/null || true
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$home"
}
trap cleanup EXIT

# Settings: receiver port open on 127.0.0.1:$receiver_port, output over TCP as a server on 9999.
folder="$home/.local/share/Varnek SIA-IP Receiver"
mkdir -p "$folder"
python3 - "$folder/tarvel.cfg" "$receiver_port" <<'PY'
import struct, sys
record = bytearray(256)
struct.pack_into("<Bii", record, 0, 1, int(sys.argv[2]), 30)  # open, port, connection time-out
struct.pack_into("<BBi", record, 48, 1, 1, 9999)                # TCP, server, port
struct.pack_into("<b", record, 54, 1)
record[64:64 + 9] = b"127.0.0.1"
struct.pack_into("<ii", record, 86, 9600, 30)                    # baud, heartbeat period
struct.pack_into("<i", record, 96, 1602)                         # format mark
open(sys.argv[1], "wb").write(record)
PY

Xvfb "$display" -screen 0 1280x1024x24 >/dev/null 2>&1 & xvfb=$!
sleep 1
HOME="$home" DISPLAY="$display" QT_QPA_PLATFORM=xcb ./build/velmor >/dev/null 2>&1 & program=$!
sleep 3

# Sample traffic: an alarm, its restore, a trouble, an opening and a link test, in clear DC-09.
python3 - "$receiver_port" <<'PY'
import socket, sys, time
def crc16(data):
    crc = 0
    for byte in data:
        crc ^= byte
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc
def frame(body):
    return b"\n%04X%04X%s\r" % (crc16(body), len(body), body)
messages = [b'"ADM-CID"0001R0L0#1234[#1234|1130 01 015]', b'"ADM-CID"0002R0L0#1234[#1234|3130 01 015]',
            b'"ADM-CID"0003R0L0#5678[#5678|1301 00 000]', b'"ADM-CID"0004R0L0#5678[#5678|1401 01 003]',
            b'"NULL"0005R0L0#9012[]']
with socket.create_connection(("127.0.0.1", int(sys.argv[1])), timeout=5) as link:
    for body in messages:
        link.sendall(frame(body))
        link.recv(256)
        time.sleep(0.2)
PY
sleep 1

shot() { # window title, file name
  local id
  id="$(DISPLAY="$display" xdotool search --name "^$1\$" | head -n 1)" || true
  if [ -z "$id" ]; then echo "no window \"$1\"" >&2; return; fi
  DISPLAY="$display" xwd -silent -id "$id" | xwdtopnm 2>/dev/null | pnmtopng >"$out/$2.png"
  echo "$out/$2.png"
}
shot "Varnek SIA-IP Receiver" main_window
# The menu bar's Alt shortcuts open the list windows.
main="$(DISPLAY="$display" xdotool search --name '^Varnek SIA-IP Receiver$' | head -n 1)"
DISPLAY="$display" xdotool windowfocus "$main" key alt+e 2>/dev/null || true
sleep 1
shot "Event List" event_list
DISPLAY="$display" xdotool windowfocus "$main" key alt+o 2>/dev/null || true
sleep 1
shot "Object List" object_list
DISPLAY="$display" xdotool windowfocus "$main" key alt+s 2>/dev/null || true
sleep 1
shot "System Log" system_log
