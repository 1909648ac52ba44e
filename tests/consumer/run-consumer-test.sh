#!/usr/bin/env bash
# Installs the build tree into a scratch prefix, then builds and runs a small
# application against it twice: through the CMake package and through pkg-config.
#   run-consumer-test.sh BUILD_DIR [QMF_PREFIX [SUFFIX]]
# QMF_PREFIX: the installed QMF the build uses, if any; SUFFIX: what the installed names
# carry (-qt6 for the Qt 6 build).
set -euo pipefail
build_dir=$1
qmf_prefix=${2:-}
suffix=${3:-}
source_dir=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install "$build_dir" --prefix "$prefix" > /dev/null
libdir=$(find "$prefix" -name "libzavek$suffix.so*" -printf '%h\n' | head -n 1)
export LD_LIBRARY_PATH=$libdir${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}
unset QT_PLUGIN_PATH

# A sanitizer build of the library needs the same runtime in the application.
sanitize=()
# (grep -c reads all input: grep -q could end nm with SIGPIPE and fail the pipeline)
if [ "$(nm -D "$libdir/libzavek$suffix.so" | grep -c __asan_init)" -gt 0 ]; then sanitize=(-fsanitize=address,undefined); fi

cmake -S "$source_dir" -B "$work/cmake-build" -DZAVEK_PACKAGE="Zavek$suffix" -DCMAKE_PREFIX_PATH="$prefix${qmf_prefix:+;$qmf_prefix}" \
      -DCMAKE_CXX_FLAGS="${sanitize[*]}" -DCMAKE_EXE_LINKER_FLAGS="${sanitize[*]}" > /dev/null
cmake --build "$work/cmake-build" > /dev/null
[ "$("$work/cmake-build/consumer")" = "1" ] || { echo "CMake consumer printed the wrong answer"; exit 1; }
echo "CMake package: ok"

# The module names the configured prefix; this tree was installed elsewhere.
mkdir -p "$work/pkgconfig"
sed "s|^prefix=.*|prefix=$prefix|" "$libdir/pkgconfig/zavek$suffix.pc" > "$work/pkgconfig/zavek$suffix.pc"
export PKG_CONFIG_PATH=$work/pkgconfig
if [ -n "$qmf_prefix" ]; then
    PKG_CONFIG_PATH+=:$(dirname "$(find "$qmf_prefix" -name "QmfClient$suffix.pc" | head -n 1)")
fi
g++ -std=c++17 -fPIC "${sanitize[@]}" "$source_dir/main.cpp" -o "$work/pkgconfig-consumer" $(pkg-config --cflags --libs "zavek$suffix")
[ "$("$work/pkgconfig-consumer")" = "1" ] || { echo "pkg-config consumer printed the wrong answer"; exit 1; }
echo "pkg-config: ok"
