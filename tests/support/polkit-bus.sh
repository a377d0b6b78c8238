#!/bin/sh
# Runs a command beside a private system bus and polkitd. Start it in a mount namespace of
# its own (unshare -m --propagation private): the bus socket, the actions and the rules
# are mounted over the system's for that namespace only, so the host's bus and polkit
# never see the test. pkexec needs this: it talks to the bus at its fixed socket path.
# usage: polkit-bus.sh ACTIONS_DIR RULES_DIR COMMAND...
set -eu
actions=$1
rules=$2
shift 2

# Without systemd nothing may have made the mount point yet.
mkdir -p /run/dbus
mount -t tmpfs -o mode=0755 quorvt-bus /run/dbus
mount --bind "$actions" /usr/share/polkit-1/actions
mount --bind "$rules" /etc/polkit-1/rules.d
empty=$(mktemp -d /run/dbus/rules.XXXXXX)
chmod 755 "$empty"
mount --bind "$empty" /usr/share/polkit-1/rules.d

bus=""
polkit=""
cleanup() {
    for pid in $polkit $bus; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in $polkit $bus; do
        wait "$pid" 2>/dev/null || true
    done
}
trap cleanup EXIT INT TERM

/usr/bin/dbus-daemon --system --nofork --nopidfile &
bus=$!
has_owner() {
    /usr/bin/dbus-send --system --print-reply --dest=org.freedesktop.DBus \
        /org/freedesktop/DBus org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null |
        grep -q 'boolean true'
}
tries=0
until [ -S /run/dbus/system_bus_socket ] && has_owner org.freedesktop.DBus; do
    tries=$((tries + 1))
    [ $tries -lt 100 ] || { echo "polkit-bus: the bus did not start" >&2; exit 90; }
    sleep 0.05
done

/usr/lib/polkit-1/polkitd --no-debug &
polkit=$!
tries=0
until has_owner org.freedesktop.PolicyKit1; do
    tries=$((tries + 1))
    [ $tries -lt 200 ] || { echo "polkit-bus: polkitd did not start" >&2; exit 91; }
    sleep 0.05
done

# Not exec: the daemons are stopped when the command ends.
status=0
"$@" || status=$?
exit $status
