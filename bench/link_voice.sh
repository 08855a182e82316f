#!/usr/bin/env bash
# The link's voice call measured on this machine, station and link on 127.0.0.1 with a sound server
# of their own: the audio delay station capture -> "Quintar RX" and "Quintar TX" -> station
# playback, the parts the jitter buffer and the sound server take, the link's CPU and memory
# (without voice, then during a call) and the call's bytes per second on the wire.
# Usage: bench/link_voice.sh [BUILD_DIR] [SECONDS]   (default build/normal, 20)
# Needs the normal build with both voice libraries, pulseaudio, pulseaudio-utils and python3; the
# wire count needs root and nft (without, the engine's own count is shown).
#
# Delay: a 10 ms tone burst goes, through one combine sink, at once into the station's capture
# sink and into the sink whose monitor is recorded; the one recording then holds the burst twice,
# straight and after the call, and the distance between them is the delay (what both copies share
# cancels out).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/normal}
seconds=${2:-20}
for p in pulseaudio pactl paplay parecord python3; do
  command -v "$p" >/dev/null || { echo "needs $p"; exit 1; }
done
[ -e "$build/lib/x86_64-linux-gnu/quintar/libquintar-link-voice.so" ] || [ -n "$(find "$build" -name 'libquintar-link-voice.so' -print -quit)" ] ||
  { echo "build $build first (cmake --build $build --target quintar quintar-link quintar-radiosim quintar-link-voice Ambrel)"; exit 1; }

work=$(mktemp -d /tmp/link-voice-bench.XXXXXX)
pids=()
nft_table=
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  [ -z "$nft_table" ] || nft delete table inet "$nft_table" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export HOME=$work/home XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/home/.config
export PULSE_RUNTIME_PATH=$work/run/pulse PULSE_SERVER=unix:$work/run/pulse/native
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit -L module-native-protocol-unix >"$work/pulse.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.05; done

# The station's sound: a capture sink with a source over its monitor (the radio's receive audio),
# a playback sink (the radio's transmit audio).
pactl load-module module-null-sink sink_name=station_in rate=48000 "sink_properties='device.description=StationIn'" >/dev/null
pactl load-module module-remap-source master=station_in.monitor source_name=station_capture "source_properties='device.description=StationCapture'" >/dev/null
pactl load-module module-null-sink sink_name=station_out rate=48000 "sink_properties='device.description=StationPlayback'" >/dev/null

python3 - "$work" <<'PY'
import math, struct, sys, wave
rate = 48000
frames = []
for second in range(12):
    for i in range(rate):
        t = i / rate
        frames.append(int(12000 * math.sin(2 * math.pi * 1500 * t)) if t < 0.010 else 0)
with wave.open(sys.argv[1] + '/bursts.wav', 'wb') as w:
    w.setnchannels(1); w.setsampwidth(2); w.setframerate(rate)
    w.writeframes(struct.pack('<%dh' % len(frames), *frames))
PY

"$build/radiosim/quintar-radiosim" --id 20 --link "$work/radio" >"$work/radiosim.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -e "$work/radio" ] && break; sleep 0.05; done
tcp=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
sip=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
setup() { "$build/quintar/quintar" setup --profile "$work/p.ini" "$@" >/dev/null; }
setup set com-device 1 "$work/radio"; setup set tcp-port "$tcp"; setup set voice on
setup set sip-port "$sip"; setup set sip-address 127.0.0.1
setup set capture-device StationCapture; setup set playback-device StationPlayback
printf 'pw1\n' | setup user add op1 --password-stdin
QUINTAR_LISTEN_ADDRESS=127.0.0.1 QUINTAR_DATA_DIR=$work/data "$build/quintar/quintar" --headless --profile "$work/p.ini" >"$work/host.log" 2>&1 &
pids+=($!)
for _ in $(seq 200); do grep -q "START - Successful" "$work/host.log" 2>/dev/null && break; sleep 0.05; done

# The link's CPU (per cent of one core) and resident memory over `seconds`.
usage() {
  local pid=$1 span=$2 t0 t1
  t0=$(awk '{print $14+$15}' "/proc/$pid/stat"); sleep "$span"; t1=$(awk '{print $14+$15}' "/proc/$pid/stat")
  echo "cpu $(( (t1 - t0) * 100 * 100 / $(getconf CLK_TCK) / span / 100 )).$(( (t1 - t0) * 100 * 100 / $(getconf CLK_TCK) / span % 100 ))% of a core," \
       "memory $(awk '/VmRSS/ {print $2/1024 " MiB"}' "/proc/$pid/status") resident"
}
link() {
  printf 'pw1\n' | "$build/link/quintar-link" --user op1 --password-stdin --link "$work/state/radio" "$@" "127.0.0.1:$tcp" >"$work/link.log" 2>&1 &
  link_pid=$!
  pids+=($link_pid)
}
status() { sed -n "s/^$1=//p" "$work/state/radio.status" 2>/dev/null; }

echo "== the link without voice, logged in, quiet: $((seconds / 2)) s"
link
for _ in $(seq 200); do [ "$(status state)" = logged-in ] && break; sleep 0.05; done
echo "before: $(usage "$link_pid" $((seconds / 2)))"
kill "$link_pid"; wait "$link_pid" 2>/dev/null || true
sleep 1

echo "== the link with --voice --audio-devices, in a call: $seconds s"
link --voice --audio-devices --sip-port "$sip"
for _ in $(seq 400); do [ "$(status call-encryption)" = DTLS-SRTP ] && break; sleep 0.05; done
[ "$(status call)" = connected ] || { cat "$work/link.log"; echo "no call"; exit 1; }

# Bytes on the wire: the call's UDP packets, counted once each as they leave (loopback).
ports=$(ss -uanpH 2>/dev/null | awk -v p="pid=$link_pid," '$0 ~ p {n=split($4,a,":"); print a[n]}' | paste -sd, -)
if [ "$(id -u)" = 0 ] && command -v nft >/dev/null && [ -n "$ports" ]; then
  nft_table=link_voice_bench_$$
  nft -f - <<NFT
table inet $nft_table {
  chain out {
    type filter hook output priority 0; policy accept;
    udp sport { $ports } counter comment "sent"
    udp dport { $ports } counter comment "received"
  }
}
NFT
fi
sleep 0.5
echo "after:  $(usage "$link_pid" "$seconds")"
if [ -n "$nft_table" ]; then
  nft list table inet "$nft_table" | awk -v s="$seconds" '/counter/ {for (i=1;i<=NF;i++) if ($i=="bytes") b=$(i+1); \
    printf "wire:   %s %d bytes/s (%d kbit/s), IP and UDP headers included\n", ($0 ~ /sent/ ? "sent    " : "received"), b/s, b*8/s/1000}'
fi
echo "engine: $(status call-codec), $(status call-download-kbps) kbit/s in, $(status call-upload-kbps) kbit/s out," \
     "jitter buffer $(status call-jitter-buffer-ms) ms, round trip $(status call-round-trip-ms) ms"

# Delay, one way at a time.
delay() {
  local name=$1 into=$2 recorded=$3
  pactl load-module module-combine-sink sink_name="probe_$into" slaves="$into,$recorded" adjust_time=0 >/dev/null
  parecord --device="$recorded.monitor" --rate=48000 --channels=1 --file-format=wav "$work/$into.wav" &
  local rec=$!
  sleep 0.3
  timeout 15 paplay --device="probe_$into" "$work/bursts.wav" || true
  sleep 0.5
  kill -INT "$rec"; wait "$rec" 2>/dev/null || true
  python3 - "$work/$into.wav" "$name" <<'PY'
import statistics, struct, sys, wave
w = wave.open(sys.argv[1]); rate = w.getframerate()
s = struct.unpack('<%dh' % w.getnframes(), w.readframes(w.getnframes()))
onsets, quiet = [], 0
for i, v in enumerate(s):
    if abs(v) > 1500:
        if quiet > rate * 0.015:
            onsets.append(i)
        quiet = 0
    else:
        quiet += 1
# Each second: the straight copy, then the one after the call.
pairs = []
i = 0
while i + 1 < len(onsets):
    gap = (onsets[i + 1] - onsets[i]) * 1000 / rate
    if gap < 800:
        pairs.append(gap); i += 2
    else:
        i += 1
if pairs:
    print("delay:  %s median %.0f ms (min %.0f, max %.0f, %d bursts)" % (sys.argv[2], statistics.median(pairs), min(pairs), max(pairs), len(pairs)))
    print("        each: " + " ".join("%.0f" % p for p in pairs))
else:
    print("delay:  %s: no burst came through" % sys.argv[2])
PY
}
delay "station-capture->QuintarRX" station_in quintar_link_rx
delay "QuintarTX->station-playback" quintar_link_tx station_out
echo "sound server latencies of the call's streams (pactl: the link's and the station's):"
pactl list sink-inputs | awk '/application.name|Latency:|Sink:/' | sed 's/^\s*/  /'
pactl list source-outputs | awk '/application.name|Latency:|Source:/' | sed 's/^\s*/  /'
echo "engine: jitter buffer $(status call-jitter-buffer-ms) ms, round trip $(status call-round-trip-ms) ms"
