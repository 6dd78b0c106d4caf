#!/usr/bin/env bash
# unresolvable-host.sh CMD [ARGS...]
#
# Runs CMD in a private UTS namespace whose host name resolves nowhere (a name
# under the reserved domain .invalid), so that resolving the host's own name
# fails once qv0 has no address. Use it inside tests/fixture/netns.sh: there
# the resolver's queries find no route, so nothing leaves the machine, and
# the machine's own host name is left alone.
set -euo pipefail

if [ "${1:-}" = "--inside" ]; then
    shift
    hostname quorvel-test.invalid
    exec "$@"
fi
if [ $# -eq 0 ]; then
    echo "usage: $0 CMD [ARGS...]" >&2
    exit 2
fi
if [ -z "${QUORVEL_NETNS:-}" ]; then
    echo "unresolvable-host.sh: run me inside tests/fixture/netns.sh" >&2
    exit 2
fi
exec unshare -u -- "$0" --inside "$@"
