#!/bin/sh
# Runs a command with the users and the PAM configuration of ETC_DIR in place of the
# system's. Start it in a mount namespace of its own (unshare -m --propagation private):
# the bind mounts hide the machine's files for that namespace only, so a test user with a
# known password exists there and nowhere else.
# usage: polkit-users.sh ETC_DIR COMMAND...
set -eu
etc=$1
shift
for file in passwd group shadow; do
    mount --bind "$etc/$file" "/etc/$file"
done
mount --bind "$etc/pam.d" /etc/pam.d
exec "$@"
