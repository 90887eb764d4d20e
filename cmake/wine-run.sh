#!/usr/bin/env bash
# Runs a Windows program under wine64: wine-run.sh PREFIX PROGRAM [ARGS...]
# PREFIX is the wine prefix, kept inside the build tree. The first run creates
# it; a lock keeps parallel first runs from creating it twice. The marker file
# inside the prefix is ours: wine writes its registry files late, so they
# prove nothing.
set -euo pipefail
prefix=$(realpath -m "$1")
shift

wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)

export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
# No prompts to install Mono or Gecko while the prefix is created.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

ready=$prefix/.created-by-wine-run
if [ ! -f "$ready" ]; then
  mkdir -p "$(dirname "$prefix")"
  (
    flock 9
    if [ ! -f "$ready" ]; then
      "$wine" wineboot --init >/dev/null 2>&1
      touch "$ready"
    fi
  ) 9>"$prefix.lock"
fi

exec "$wine" "$@"
