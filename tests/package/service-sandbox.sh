#!/bin/sh
# Runs a program under the options of the service unit quintar@.service, as far as a machine
# without systemd allows: its own mount namespace with the system read-only except one folder
# (ProtectSystem=strict, ReadWritePaths=), a private /tmp (PrivateTmp=), no home folders
# (ProtectHome=), an unprivileged user with the group dialout (User=, SupplementaryGroups=), no
# capabilities and no way to gain privileges (CapabilityBoundingSet=, NoNewPrivileges=), umask 077.
# Usage (as root): service-sandbox.sh UID GID WRITABLE PROGRAM [ARGUMENT...]
set -eu
uid=$1 gid=$2 writable=$3
shift 3
dialout=$(getent group dialout | cut -d: -f3)
exec unshare --mount --propagation private /bin/sh -c '
    set -eu
    uid=$1 gid=$2 dialout=$3 writable=$4
    shift 4
    program=$1
    mount --bind "$writable" "$writable"
    # A folder that holds the unpacked package or the station (a build tree under /tmp or a home
    # folder stands in for /usr and /etc here) stays visible; every other one is hidden.
    holds() { case "$writable/" in "$1"/*) return 0 ;; esac; case "$program" in "$1"/*) return 0 ;; esac; return 1; }
    if holds /tmp; then echo "sandbox: /tmp kept, it holds the test tree" >&2
    else mount -t tmpfs -o mode=1777 tmpfs /tmp; fi
    for home in /home /root; do
        if holds "$home"; then echo "sandbox: $home kept, it holds the test tree" >&2
        elif [ -d "$home" ]; then mount -t tmpfs -o ro,mode=0755 tmpfs "$home"; fi
    done
    mount -o remount,bind,ro /
    umask 077
    exec setpriv --reuid="$uid" --regid="$gid" --groups="$dialout" --no-new-privs \
        --bounding-set=-all --inh-caps=-all -- "$@"
' sandbox "$uid" "$gid" "$dialout" "$writable" "$@"
