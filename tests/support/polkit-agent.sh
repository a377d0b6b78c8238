#!/bin/sh
# Runs a command as a user whose polkit agent is pkttyagent on the terminal TTY, as a
# desktop session has its agent. The command starts only once the agent is registered for
# its process, so pkexec never finds the agent missing by a race. Run it as root beside the
# private polkitd of polkit-bus.sh.
# usage: polkit-agent.sh TTY UID COMMAND...
set -eu
tty=$1
uid=$2
shift 2

fifos=$(mktemp -d /run/dbus/agent.XXXXXX)
chmod 755 "$fifos"
mkfifo -m 666 "$fifos/held" "$fifos/go" "$fifos/ready"

# The process the agent speaks for: its pid stays the command's through exec. It says when
# it runs as the user, since polkit registers an agent only for a process of the agent's user.
setpriv --reuid "$uid" --regid "$uid" --clear-groups \
    sh -c 'echo held >"$0" && read go <"$1" && shift && exec "$@"' \
    "$fifos/held" "$fifos/go" "$@" &
command=$!
read held <"$fifos/held"
# The agent closes descriptor 3 once registered.
setpriv --reuid "$uid" --regid "$uid" --clear-groups \
    setsid -c /usr/bin/pkttyagent --process "$command" --notify-fd 3 \
    <"$tty" >"$tty" 2>&1 3>"$fifos/ready" &
agent=$!
cat "$fifos/ready"
echo go >"$fifos/go"

status=0
wait "$command" || status=$?
kill "$agent" 2>/dev/null || true
wait "$agent" 2>/dev/null || true
rm -rf "$fifos"
exit $status
