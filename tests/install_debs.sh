#!/usr/bin/env bash
# The Debian packages as a newcomer uses them (CI runs this as root; it needs dpkg -i):
# builds libxob1, libxob-dev and xob-tools, checks them with lintian (errors fail, warnings are
# listed), installs them, builds examples/consumer against the system install through find_package
# and through pkg-config, runs both against xob-recorder from the package and decodes what arrived
# with xob-decode, checks the manual pages and bash completion, then purges the packages and checks
# that none of their files is left. Usage: tests/install_debs.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-deb}
packages=(xob-tools libxob-dev libxob1)
[[ $(id -u) -eq 0 ]] || { echo "install_debs: run as root (it installs packages)"; exit 1; }
if dpkg-query -W "${packages[@]}" >/dev/null 2>&1; then
  echo "install_debs: a libxob package is installed already; not touching it"; exit 1
fi

work=$(mktemp -d)
device=/net/hub/dev/xob  # the device path the packaged library is built with
made_dirs=()
recorder=""
cleanup() {
  [[ -z "$recorder" ]] || kill "$recorder" 2>/dev/null || true
  dpkg --purge "${packages[@]}" >/dev/null 2>&1 || true
  for ((i = ${#made_dirs[@]} - 1; i >= 0; i--)); do rmdir "${made_dirs[i]}" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

mapfile -t debs < <(scripts/package.sh "$build")
(( ${#debs[@]} == 3 )) || { echo "install_debs: expected 3 packages, got: ${debs[*]}"; exit 1; }
echo "== lintian"
lintian_status=0
lintian_report=$(lintian --fail-on error "${debs[@]}" 2>&1) || lintian_status=$?
grep -v 'running with root privileges' <<<"$lintian_report" || true
(( lintian_status == 0 )) || { echo "install_debs: lintian reports errors"; exit 1; }

for deb in "${debs[@]}"; do dpkg-deb --fsys-tarfile "$deb" | tar -t; done | sed 's|^\.||' | sort -u >"$work/files"
dpkg -i "${debs[@]}" >/dev/null

echo "== manual pages and completion"
man -w xob-decode xob-recorder
MANWIDTH=80 man xob-decode 2>/dev/null | grep -q -- '--json' || { echo "man xob-decode lacks --json"; exit 1; }
completion=$(bash -c 'source /usr/share/bash-completion/completions/xob-decode; complete -p xob-decode
                      COMP_WORDS=(xob-decode --js); COMP_CWORD=1; _xob_decode; echo "${COMPREPLY[*]}"')
echo "$completion"
[[ "$completion" == *"--json" ]] || { echo "xob-decode --js<TAB> did not complete to --json"; exit 1; }

echo "== consumer against the system install"
cmake -S examples/consumer -B "$work/find_package" >/dev/null
cmake --build "$work/find_package" >/dev/null
c++ examples/consumer/consumer.cpp $(pkg-config --cflags --libs xob) -o "$work/pkg-config"

for dir in /net /net/hub /net/hub/dev; do
  [[ -d $dir ]] || { mkdir "$dir"; made_dirs+=("$dir"); }
done
xob-recorder --output "$work/recording.xob" --quiet "$device" 2>"$work/recorder.log" &
recorder=$!
for _ in $(seq 50); do [[ -p $device ]] && break; sleep 0.1; done
[[ -p $device ]] || { cat "$work/recorder.log"; exit 1; }
"$work/find_package/consumer"
"$work/pkg-config"
kill -TERM "$recorder" && wait "$recorder"
recorder=""
xob-decode --name WatchDogHDU_LogEntry "$work/recording.xob" | tee "$work/decoded"
entries=$(grep -c 'built against the installed libxob' "$work/decoded" || true)
(( entries == 2 )) || { echo "install_debs: expected 2 consumer entries at the recorder, got $entries"; exit 1; }

echo "== purge"
dpkg --purge "${packages[@]}" >/dev/null
left=()
while read -r path; do
  [[ -n "$path" && ! -d "$path" && ( -e "$path" || -L "$path" ) ]] && left+=("$path")
done <"$work/files"
(( ${#left[@]} == 0 )) || { echo "install_debs: left after purge: ${left[*]}"; exit 1; }
! dpkg-query -W -f='${Status}\n' "${packages[@]}" 2>/dev/null | grep -q installed ||
  { echo "install_debs: packages still installed"; exit 1; }
echo "install_debs: packages install, build consumers both ways, record, decode and purge cleanly"
