#!/usr/bin/env bash
# Checks that the launcher's sources read top-down: every include in src/
# points to its own folder or to a floor below, and no two files include each
# other, directly or round a longer circle. Prints each offence and exits 1 when
# there is one. The floors, from the top:
#   launch  runtime  cmdline  config  diag  core
set -uo pipefail
cd "$(dirname "$0")/../src" || exit 2

edges=$(grep -H -o '^#include "[a-z_]*/[a-z_]*\.h"' */*.h */*.cpp | sed 's/#include "\(.*\)"/\1/')

status=0
up=$(awk -F: 'BEGIN { n = split("core diag config cmdline runtime launch", f, " "); for (i = 1; i <= n; i++) floor[f[i]] = i }
    { split($1, from, "/"); split($2, to, "/")
      if (!(from[1] in floor)) { print $1 ": its folder is on no floor"; next }
      if (!(to[1] in floor) || floor[to[1]] > floor[from[1]]) print $1 " -> " $2 }' <<<"$edges" | sort -u)
if [ -n "$up" ]; then
    echo "includes pointing up:"
    echo "$up"
    status=1
fi

# One node per file pair (x.h and x.cpp are one piece); tsort names any circle.
circle=$(sed 's/\.\(h\|cpp\):/ /; s/\.h$//' <<<"$edges" | awk '$1 != $2' | tsort 2>&1 >/dev/null)
if [ -n "$circle" ]; then
    echo "includes in a circle:"
    echo "$circle"
    status=1
fi
exit $status
