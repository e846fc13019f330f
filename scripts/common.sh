# Shared by run.sh and test.sh: the packages the build needs, their
# installation, and configuring and building one build folder.
# Sourced, not run. Expects ROOT to be the repository's top folder.

# Everything a fresh Debian 12 machine needs to build the program and its
# tests: compiler and build tools, Qt 6 Widgets with its platform plugins
# (offscreen for the tests), GoogleTest/GoogleMock, Google Benchmark, a font so
# that the windows show text, clang-format for the formatting check, clang for
# the build that keeps the tree free of what only gcc accepts, and clang's
# sanitizer and libFuzzer runtimes for the fuzzing step; the SQLite library
# the SQLite save writes with, and the sqlite3 shell the tests read it back
# with; and to make and check the Debian package (scripts/package.sh,
# scripts/check-package.sh): dpkg-shlibdeps and file for its dependencies,
# lintian, desktop-file-validate and man.
MENDORA_PACKAGES=(
  cmake
  ninja-build
  g++
  qt6-base-dev
  qt6-qpa-plugins
  libgl-dev
  libgtest-dev
  libgmock-dev
  libbenchmark-dev
  nlohmann-json3-dev
  fonts-dejavu-core
  clang-format
  clang
  libclang-rt-14-dev
  dpkg-dev
  file
  lintian
  desktop-file-utils
  man-db
  libsqlite3-dev
  sqlite3
)

as_root() {
  if [[ "$(id -u)" == 0 ]]; then
    "$@"
  else
    sudo "$@"
  fi
}

package_installed() {
  [[ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null)" == "install ok installed" ]]
}

# Installs the packages that are missing; when all are present apt is not
# touched at all, so repeated runs are fast.
install_packages() {
  if ! command -v dpkg-query >/dev/null 2>&1; then
    echo "note: not a Debian system; assuming the build tools and libraries are installed" >&2
    return 0
  fi
  local missing=() p
  for p in "${MENDORA_PACKAGES[@]}"; do
    package_installed "$p" || missing+=("$p")
  done
  if ((${#missing[@]} == 0)); then
    echo "== packages: all installed"
    return 0
  fi
  echo "== packages: installing ${missing[*]}"
  as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 update
  as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y \
    --no-install-recommends "${missing[@]}" </dev/null
}

build_jobs() {
  nproc 2>/dev/null || echo 2
}

# configure_and_build DIR [cmake options...]
# Ninja for a new build folder; an existing one keeps the generator it has.
configure_and_build() {
  local dir="$1"
  shift
  echo "== configure $dir: $*"
  if [[ -f "$dir/CMakeCache.txt" ]]; then
    cmake -S "$ROOT" -B "$dir" "$@"
  else
    cmake -S "$ROOT" -B "$dir" -G Ninja "$@"
  fi
  echo "== build $dir"
  cmake --build "$dir" --parallel "$(build_jobs)"
}
