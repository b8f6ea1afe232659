#!/usr/bin/env bash
# Installs the library from BUILD_DIR into a scratch prefix and builds the consumer example
# against it twice: through find_package(xob) and through pkg-config. Then runs the consumer.
set -euo pipefail
source_dir=$1
build_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build_dir" --prefix "$work/prefix" >/dev/null
for header in GXob.h Export.h; do
  test -f "$work/prefix/include/xob/$header" || { echo "missing include/xob/$header"; exit 1; }
done
if find "$work/prefix" -path '*/xob/*' -name '*.h' | xargs grep -l 'Seams\|platform/' ; then
  echo "installed headers refer to internal headers"; exit 1
fi
# The consumers start without LD_LIBRARY_PATH: the installed one through its RUNPATH (the example's
# way), the pkg-config one through the rpath the README shows.
cmake -S "$source_dir/examples/consumer" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/consumer" >/dev/null
cmake --install "$work/consumer" --prefix "$work/app" >/dev/null
env -u LD_LIBRARY_PATH "$work/app/bin/consumer"

pc_dir=$(dirname "$(find "$work/prefix" -name xob.pc | head -n1)")
export PKG_CONFIG_PATH="$pc_dir"
c++ "$source_dir/examples/consumer/consumer.cpp" $(pkg-config --cflags --libs xob) \
  -Wl,-rpath,"$(pkg-config --variable=libdir xob)" -o "$work/consumer-pc"
env -u LD_LIBRARY_PATH "$work/consumer-pc"
soname=$(objdump -p "$(find "$work/prefix" -name 'libxob.so.*.*' | head -n1)" | awk '/SONAME/ {print $2}')
[[ "$soname" == libxob.so.1 ]] || { echo "unexpected SONAME $soname"; exit 1; }
echo "install package: find_package, pkg-config and SONAME $soname all good"
