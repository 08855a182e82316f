#!/bin/sh
# The packages on a fresh Debian 12, as a user installs them with apt and the dependencies from
# Debian's archive, each case in a root of its own unpacked from the mmdebstrap tarball: what each
# set of packages pulls in (download and installed size; the base has systemd, as every Debian 12 that runs a service), the station with its window (the window
# opens on Xvfb), and the link alone (no Qt on the machine; it logs in to a station and relays the
# radio's answer). Run by scripts/package --check.
# Usage (as root): fresh-root-check.sh BASE_TARBALL DEB_FOLDER
set -eu
base=$(realpath "$1") debs=$(realpath "$2")

# Runs the shell script on standard input in a fresh root, with the packages in /tmp/debs.
in_fresh_root() {
    scratch=$(mktemp -d)
    script=$(cat)
    unshare --mount --propagation private /bin/sh -s "$scratch" "$base" "$debs" "$script" <<'OUTER'
set -eu
root=$1 base=$2 debs=$3 script=$4
mount -t tmpfs tmpfs "$root"
tar -C "$root" -xf "$base"
mount --rbind /dev "$root/dev"
mount --bind /proc "$root/proc"
mkdir -p "$root/tmp/debs"
cp "$debs"/*.deb "$root/tmp/debs/"
cp /etc/resolv.conf "$root/etc/resolv.conf"
printf '%s\n' "$script" >"$root/tmp/script"
chroot "$root" /bin/bash -c 'cd /tmp/debs && export DEBIAN_FRONTEND=noninteractive && apt-get update -qq && . /tmp/script'
OUTER
    status=$?
    rmdir "$scratch"
    return $status
}

echo "=== what each set pulls in (apt on a fresh Debian 12: minbase with systemd) ==="
in_fresh_root <<'SCRIPT'
for set in "quintar" "quintar quintar-gui" "quintar quintar-voice" "quintar quintar-gui quintar-voice" \
           "quintar-link" "quintar-link quintar-link-voice"; do
    files=
    for p in $set; do files="$files ./${p}_*.deb"; done
    echo "apt install $set:"
    apt-get install --assume-no $files 2>&1 | grep -E 'newly installed|^Need to get|^After this operation' | sed 's/^/    /'
done
SCRIPT

echo "=== apt install ./quintar_*.deb ./quintar-gui_*.deb: the window on Xvfb ==="
in_fresh_root <<'SCRIPT'
apt-get install -y -qq ./quintar_*.deb ./quintar-gui_*.deb >/dev/null
apt-get install -y -qq --no-install-recommends xvfb xauth xdotool >/dev/null
quintar --version
xvfb-run -a -s '-screen 0 1280x1024x24 -noreset' sh -c '
    quintar & pid=$!
    if timeout 60 xdotool search --sync --onlyvisible --name "Radio Host Program" >/dev/null; then
        echo "the window is open: \"$(xdotool search --onlyvisible --name "Radio Host Program" getwindowname)\""
        status=0
    else
        echo "FAIL: no window"; status=1
    fi
    kill $pid; wait $pid || true
    exit $status'
SCRIPT

echo "=== apt install ./quintar-link_*.deb alone: the link ==="
in_fresh_root <<'SCRIPT'
apt-get install -y -qq ./quintar-link_*.deb >/dev/null
quintar-link --version
if dpkg-query -W -f='${Package}\n' | grep -i 'qt'; then echo "FAIL: Qt came with the link"; exit 1; fi
echo "no Qt package installed"
# A station to log in to: the station's package installed after the link, the simulated radio.
apt-get install -y -qq ./quintar_*.deb >/dev/null
quintar-radiosim --link /tmp/radio >/tmp/radiosim.out 2>&1 &
sim=$!
for i in $(seq 30); do grep -q 'listening on' /tmp/radiosim.out && break; sleep 1; done
quintar setup --profile /tmp/s.ini set com-device 1 /tmp/radio >/dev/null
port=$((40000 + $$ % 20000))   # not the last run's, which may linger in TIME_WAIT
quintar setup --profile /tmp/s.ini set tcp-port $port >/dev/null
echo on-the-air | quintar setup --profile /tmp/s.ini user add operator --password-stdin >/dev/null
QUINTAR_LISTEN_ADDRESS=127.0.0.1 quintar --headless --profile /tmp/s.ini >/tmp/host.out 2>&1 &
host=$!
for i in $(seq 60); do grep -q 'Successful' /tmp/host.out && break; sleep 1; done
echo on-the-air >/tmp/password
quintar-link --user operator --password-stdin --tcp-port 0 --link /tmp/link 127.0.0.1:$port </tmp/password >/tmp/link.out 2>&1 &
link=$!
for i in $(seq 60); do quintar-link --status --link /tmp/link 2>/dev/null | grep -q 'state: *logged-in' && break; sleep 1; done
quintar-link --status --link /tmp/link || { cat /tmp/host.out /tmp/link.out; kill $link $host $sim; exit 1; }
radio=$(quintar-link --status --link /tmp/link | sed -n 's/^radio: *127.0.0.1:\([0-9]*\)$/\1/p')
exec 3<>/dev/tcp/127.0.0.1/$radio
printf 'FA;' >&3
answer=$(timeout 10 head -c 14 <&3 || true)
echo "the radio's answer through the link: $answer"
exec 3>&-
kill $link $host $sim; wait
case "$answer" in FA*) ;; *) echo "FAIL"; cat /tmp/link.out; exit 1 ;; esac
SCRIPT
