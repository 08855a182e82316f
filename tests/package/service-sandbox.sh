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
    mount --bind "$writable" "$writable"
    mount -t tmpfs -o mode=1777 tmpfs /tmp
    for home in /home /root; do
        if [ -d "$home" ]; then mount -t tmpfs -o ro,mode=0755 tmpfs "$home"; fi
    done
    mount -o remount,bind,ro /
    umask 077
    exec setpriv --reuid="$uid" --regid="$gid" --groups="$dialout" --no-new-privs \
        --bounding-set=-all --inh-caps=-all -- "$@"
' sandbox "$uid" "$gid" "$dialout" "$writable" "$@"
