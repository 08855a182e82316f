#!/bin/sh
# Installs the packages as an administrator would, in a throwaway root: an overlay of this machine's
# own system (its packages provide the dependencies), so nothing here changes. The link alone, then
# every package with the service's user and folders, the upgrade to a later build (a running station
# restarted), remove (a running station stopped), purge and a second install and purge; after each
# purge no file may be left that was not there before.
# Usage (as root): install-check.sh OLD_DEB_FOLDER NEW_DEB_FOLDER
# Exit status 77: this machine cannot give such a root (no overlay file system), or it is not a clean
# start (the packages or the service's user are already here).
set -eu
old=$(realpath "$1") new=$(realpath "$2")
if ! grep -qw overlay /proc/filesystems && ! modprobe overlay 2>/dev/null; then
    echo "no overlay file system here"; exit 77
fi
if getent passwd quintar >/dev/null || dpkg-query -W -f='${Status}\n' quintar quintar-link 2>/dev/null | grep -q ' installed'; then
    echo "the packages or the user quintar are installed on this machine already"; exit 77
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
unshare --mount --propagation private /bin/sh -s "$scratch" "$old" "$new" <<'OUTER'
set -eu
scratch=$1 old=$2 new=$3
mount -t tmpfs tmpfs "$scratch"
mkdir "$scratch/upper" "$scratch/work" "$scratch/root" "$scratch/lower"
# The system as it is, without what is mounted below it (build trees, /proc, ...).
mount --bind / "$scratch/lower"
mount -t overlay overlay -o "lowerdir=$scratch/lower,upperdir=$scratch/upper,workdir=$scratch/work" "$scratch/root"
root=$scratch/root
mount --rbind /dev "$root/dev"
mount --bind /proc "$root/proc"
mount -t tmpfs tmpfs "$root/run"   # no /run/systemd/system: no service manager to talk to
mount -t tmpfs tmpfs "$root/tmp"
mkdir "$root/tmp/old" "$root/tmp/new"
cp "$old"/*.deb "$root/tmp/old/"
cp "$new"/*.deb "$root/tmp/new/"
cat >"$root/tmp/check" <<'INNER'
set -eu
fail() { echo "FAIL: $*"; exit 1; }
step() { echo "--- $*"; }
packages="quintar quintar-gui quintar-voice quintar-link quintar-link-voice"
version() { dpkg-query -W -f='${Version}' "$1" 2>/dev/null || true; }
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
owner() { stat -c '%U:%G %a' "$1"; }
# New files since the start, outside the package manager's own records and caches, /tmp and /run.
leftovers() {
    (cd /.upper && find . ! -type d ! -type c | sed 's|^\.||') |
        grep -Ev '^/(var/lib/dpkg|var/log|var/cache|tmp|run)/|^/etc/ld\.so\.cache$|^/etc/(passwd|group|shadow|gshadow)-?$|^/etc/subuid-?$|^/etc/subgid-?$' |
        while read -r f; do [ -e "/.lower$f" ] || [ -L "/.lower$f" ] || echo "$f"; done
}
check_clean() {
    left=$(leftovers)
    [ -z "$left" ] || fail "left behind after $1: $left"
    echo "nothing left behind after $1"
}

step "the link alone"
dpkg -i /tmp/old/quintar-link_*.deb >/dev/null
installed quintar-link || fail "quintar-link is not installed"
installed quintar && fail "quintar came with quintar-link"
quintar-link --version
getent passwd quintar >/dev/null && fail "the link made the station's user"
[ ! -e /etc/quintar ] || fail "the link made /etc/quintar"
dpkg --purge quintar-link >/dev/null
check_clean "purging the link"

step "every package, version $(dpkg-deb -f /tmp/old/quintar_*.deb Version)"
dpkg -i /tmp/old/*.deb >/dev/null
for p in $packages; do installed "$p" || fail "$p is not installed"; done
quintar --version
getent passwd quintar | grep -q ':/var/lib/quintar:/usr/sbin/nologin$' || fail "user: $(getent passwd quintar)"
id -nG quintar | grep -qw dialout || fail "quintar is not in dialout: $(id -nG quintar)"
echo "user: $(getent passwd quintar), groups: $(id -nG quintar)"
for d in /etc/quintar /var/log/quintar; do
    [ "$(owner "$d")" = "quintar:quintar 750" ] || fail "$d: $(owner "$d")"
    echo "$d: $(owner "$d")"
done
[ -f /lib/systemd/system/quintar@.service ] || fail "no unit"
quintar setup --profile /etc/quintar/a.ini set tcp-port 50123 >/dev/null
[ -f /etc/quintar/a.ini ] || fail "quintar setup wrote no profile"

# A stand-in service manager for the upgrade and the remove: one station, quintar@a, runs; what the
# maintainer scripts ask of the service manager is written to /run/manager.log.
mkdir -p /run/systemd/system
for tool in systemctl deb-systemd-invoke; do
    cat >/usr/local/sbin/$tool <<STUB
#!/bin/sh
echo "$tool \$*" >>/run/manager.log
case "\$*" in *list-units*) echo 'quintar@a.service loaded active running Quintar station a' ;; esac
exit 0
STUB
    chmod 755 /usr/local/sbin/$tool
done
asked() { grep -qx "deb-systemd-invoke $1" /run/manager.log || fail "not asked to $1; asked: $(cat /run/manager.log)"; echo "asked the service manager to $1"; }

step "upgrade to $(dpkg-deb -f /tmp/new/quintar_*.deb Version)"
dpkg -i /tmp/new/*.deb >/dev/null
asked "restart quintar@a.service"
: >/run/manager.log
want=$(dpkg-deb -f /tmp/new/quintar_*.deb Version)
for p in $packages; do [ "$(version "$p")" = "$want" ] || fail "$p is at $(version "$p")"; done
[ -f /etc/quintar/a.ini ] || fail "the upgrade lost the profile"
getent passwd quintar >/dev/null || fail "the upgrade lost the user"
echo "all at $want, profile and user kept"

step "remove"
dpkg --remove $packages >/dev/null
asked "stop quintar@a.service"
grep -q restart /run/manager.log && fail "the remove restarted a station: $(cat /run/manager.log)"
rm -r /usr/local/sbin/systemctl /usr/local/sbin/deb-systemd-invoke /run/systemd
for p in $packages; do installed "$p" && fail "$p is still installed"; done
[ ! -e /usr/bin/quintar ] || fail "/usr/bin/quintar stays"
[ -f /etc/quintar/a.ini ] || fail "remove took the profile (only purge does)"
echo "programs gone, profile kept"

step "purge"
dpkg --purge $packages >/dev/null
check_clean "purge"

step "install again and purge"
dpkg -i /tmp/new/*.deb >/dev/null
[ "$(owner /etc/quintar)" = "quintar:quintar 750" ] || fail "/etc/quintar: $(owner /etc/quintar)"
quintar --version
dpkg --purge $packages >/dev/null
check_clean "the second purge"
INNER
mkdir "$root/.upper" "$root/.lower"
mount --bind "$scratch/upper" "$root/.upper"
mount --bind "$scratch/lower" "$root/.lower"
chroot "$root" /bin/sh /tmp/check
OUTER
