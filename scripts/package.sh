#!/usr/bin/env bash
# Builds the Debian package, build-package/mendora_<version>_<arch>.deb, from
# the install rules (packaging/CMakeLists.txt). The programs are those of the
# normal build folder (build/, configured as scripts/test.sh configures it),
# so that a run after the tests compiles nothing again; only what the package
# installs is built here. Installs what it needs first.
# Idempotent; run from anywhere, as root (or with sudo at hand), no input needed.
#   BUILD_DIR    normal build folder        (default: build)
#   PACKAGE_DIR  where the package is made  (default: build-package)
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=scripts/common.sh
source "$ROOT/scripts/common.sh"

BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
PACKAGE_DIR="${PACKAGE_DIR:-$ROOT/build-package}"

install_packages

echo "== configure $BUILD_DIR"
if [[ -f "$BUILD_DIR/CMakeCache.txt" ]]; then
  cmake -S "$ROOT" -B "$BUILD_DIR" -DMENDORA_GUI=ON
else
  cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DMENDORA_GUI=ON -DMENDORA_SANITIZE=OFF -DMENDORA_TESTS=ON
fi
if grep -q '^MENDORA_SANITIZE:BOOL=ON' "$BUILD_DIR/CMakeCache.txt"; then
  echo "$BUILD_DIR is a sanitizer build; the package needs a normal one (BUILD_DIR=...)" >&2
  exit 1
fi
echo "== build what the package installs"
cmake --build "$BUILD_DIR" --parallel "$(build_jobs)" \
  --target mendora mendora-cli mendora_package_files

echo "== package into $PACKAGE_DIR"
mkdir -p "$PACKAGE_DIR"
rm -f "$PACKAGE_DIR"/mendora_*.deb
(cd "$PACKAGE_DIR" && cpack --config "$BUILD_DIR/CPackConfig.cmake" -B "$PACKAGE_DIR")
shopt -s nullglob
packages=("$PACKAGE_DIR"/mendora_*.deb)
if ((${#packages[@]} != 1)); then
  echo "cpack made no package in $PACKAGE_DIR" >&2
  exit 1
fi
echo "== package: ${packages[0]}"
