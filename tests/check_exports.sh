#!/usr/bin/env bash
# Compares the functions libxob.so exports with the interface lists in tests/exports/: every
# listed signature must be in the dynamic symbol table, and every exported function of the
# library's own classes and namespaces must be listed (nothing internal leaks out).
# Usage: check_exports.sh NM LIBRARY LIST...
set -euo pipefail
nm_tool=$1
library=$2
shift 2
expected=$(cat "$@" | sed '/^\s*$/d' | sort -u)
exported=$("$nm_tool" -D --demangle --defined-only "$library" \
  | awk '$2 == "T" || $2 == "W" { $1 = ""; $2 = ""; sub(/^  /, ""); print }' \
  | grep -E '^(GXob::|SClientToDevXobQueue::|XOB|xob::|XOBLog)' | sort -u || true)
missing=$(comm -23 <(echo "$expected") <(echo "$exported"))
unlisted=$(comm -13 <(echo "$expected") <(echo "$exported"))
status=0
if [[ -n "$missing" ]]; then
  echo "Listed but not exported by $(basename "$library"):"; echo "$missing" | sed 's/^/  /'; status=1
fi
if [[ -n "$unlisted" ]]; then
  echo "Exported but not listed:"; echo "$unlisted" | sed 's/^/  /'; status=1
fi
echo "$(echo "$expected" | wc -l) listed signatures checked against $(basename "$library")"
exit $status
