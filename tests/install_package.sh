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
cmake -S "$source_dir/examples/consumer" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/consumer" >/dev/null
LD_LIBRARY_PATH="$work/prefix/lib:$work/prefix/lib64:${LD_LIBRARY_PATH:-}" "$work/consumer/consumer"

pc_dir=$(dirname "$(find "$work/prefix" -name xob.pc | head -n1)")
flags=$(PKG_CONFIG_PATH="$pc_dir" pkg-config --cflags --libs xob)
c++ -std=c++17 "$source_dir/examples/consumer/consumer.cpp" $flags -o "$work/consumer-pc"
LD_LIBRARY_PATH="$work/prefix/lib:${LD_LIBRARY_PATH:-}" "$work/consumer-pc"
soname=$(objdump -p "$(find "$work/prefix" -name 'libxob.so.*.*' | head -n1)" | awk '/SONAME/ {print $2}')
[[ "$soname" == libxob.so.1 ]] || { echo "unexpected SONAME $soname"; exit 1; }
echo "install package: find_package, pkg-config and SONAME $soname all good"
