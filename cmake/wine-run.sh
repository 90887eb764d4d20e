#!/usr/bin/env bash
# Runs a Windows program under wine64: wine-run.sh PREFIX PROGRAM [ARGS...]
# PREFIX is the wine prefix, kept inside the build tree.
set -euo pipefail
prefix=$(realpath -m "$1")
shift

wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)

export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
# No prompts to install Mono or Gecko while the prefix is created.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

# The first wine process of a session starts wine's background services, and
# they inherit its standard handles: CTest would then wait for them to close,
# which with a persistent wineserver is never. So a small program starts the
# session first, without our handles. The first run also creates the prefix
# (about 8 s); the lock keeps parallel runs from doing that twice, and --close
# keeps it from the services, which would hold it as long as they live.
# That program leaves windows unmanaged: the tests' X server has no window
# manager, and wine would otherwise wait two seconds for one at every window
# it hides (every closed dialog).
mkdir -p "$(dirname "$prefix")"
flock --close "$prefix.lock" "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
  </dev/null >/dev/null 2>&1

exec "$wine" "$@"
