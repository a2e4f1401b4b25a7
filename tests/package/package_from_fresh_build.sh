#!/usr/bin/env bash
# Runs scripts/package, as a user following the README would, on a build folder made afresh, so
# that the packages are built from nothing but the sources (the fixture of the package tests).
#   package_from_fresh_build.sh SOURCE_DIR BUILD_DIR
# With ccache on the machine the build reuses what other builds compiled.
set -euo pipefail

source_dir=$1
build_dir=$2

rm -rf "$build_dir"
cmake_args=()
if command -v ccache >/dev/null; then
  cmake_args+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
# No bootstrap: a test installs nothing (and fetches nothing); the suite's setup has done that.
"$source_dir/scripts/package" --build-dir "$build_dir" --no-bootstrap -- "${cmake_args[@]}" \
  >"$build_dir.log" 2>&1 || {
  cat "$build_dir.log" >&2
  exit 1
}
tail -n 3 "$build_dir.log"
