#!/usr/bin/env bash
# Installs what the build needs, builds the program and starts mendora.
# Idempotent; run from anywhere, as root (or with sudo at hand).
#   BUILD_DIR  build folder (default: build)
# Arguments are passed on to mendora.
# The tests are built too: the sample data file sample/Shop.mdf, which a new
# user can open at once, is written by a generator that lives with the tests
# (it is made with the tests' file builder, which the program never links).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=scripts/common.sh
source "$ROOT/scripts/common.sh"

BUILD_DIR="${BUILD_DIR:-$ROOT/build}"

install_packages
configure_and_build "$BUILD_DIR" -DMENDORA_GUI=ON -DMENDORA_SANITIZE=OFF -DMENDORA_TESTS=ON

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
  echo "mendora is built at $BUILD_DIR/mendora, but there is no display to show it on" >&2
  echo "(DISPLAY and WAYLAND_DISPLAY are unset). Run it from a desktop session," >&2
  echo "or use $BUILD_DIR/mendora-cli, which needs no display." >&2
  exit 1
fi
echo "== start $BUILD_DIR/mendora"
exec "$BUILD_DIR/mendora" "$@"
