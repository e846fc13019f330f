#!/usr/bin/env bash
# Installs the package scripts/package.sh made, as a user would
# (apt-get install ./mendora_<version>_<arch>.deb), checks what it installed,
# and removes it again, also when a check fails:
#   mendora-cli --version and mendora-cli info on a real data file,
#   every man page read by man -l without a warning,
#   the desktop entry by desktop-file-validate, offered for .mdf files, and its
#   icon and manual present,
#   the package by lintian, with no error (warnings are listed).
# Needs root (or sudo at hand); no input needed. Exits non-zero on any failure.
#   PACKAGE_DIR      where the package is  (default: build-package)
#   MENDORA_MDF_DIR  real data files       (default: ../shared/mdf beside the clone)
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=scripts/common.sh
source "$ROOT/scripts/common.sh"

PACKAGE_DIR="${PACKAGE_DIR:-$ROOT/build-package}"
MDF_DIR="${MENDORA_MDF_DIR:-$ROOT/../shared/mdf}"

install_packages

shopt -s nullglob
packages=("$PACKAGE_DIR"/mendora_*.deb)
if ((${#packages[@]} != 1)); then
  echo "expected one mendora_*.deb in $PACKAGE_DIR (bash scripts/package.sh makes it)" >&2
  exit 1
fi
deb="$(basename "${packages[0]}")"
version="$(dpkg-deb --field "${packages[0]}" Version)"

failed=()
check() {
  local what="$1"
  shift
  if "$@"; then
    echo "ok: $what"
  else
    echo "FAILED: $what" >&2
    failed+=("$what")
  fi
}

remove_package() {
  echo "== remove mendora"
  as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 remove -y \
    mendora </dev/null >/dev/null
}

echo "== lintian $deb"
# Errors fail the check; warnings are shown and listed.
lintian_output="$(lintian --tag-display-limit 0 "${packages[0]}" 2>&1)" || true
[[ -n "$lintian_output" ]] && printf '%s\n' "$lintian_output"
check "lintian reports no error" test -z "$(grep '^E: ' <<<"$lintian_output" || true)"

echo "== apt-get install ./$deb"
(cd "$PACKAGE_DIR" && as_root env DEBIAN_FRONTEND=noninteractive \
  apt-get -o DPkg::Lock::Timeout=600 install -y "./$deb" </dev/null)
trap remove_package EXIT

version_line="$(mendora-cli --version)"
echo "$version_line"
check "mendora-cli --version names the package's version" \
  test "$version_line" == "mendora-cli $version"
check "the programs are installed in /usr/bin" test -x /usr/bin/mendora -a -x /usr/bin/mendora-cli

real_files=("$MDF_DIR"/v655-*.mdf "$MDF_DIR"/v611-*.mdf "$MDF_DIR"/v539-*.mdf)
if ((${#real_files[@]} == 0)); then
  echo "no real data files in $MDF_DIR" >&2
  failed+=("real data file")
else
  info="$(mendora-cli info "${real_files[0]}")" || info=""
  printf '%s\n' "$info"
  check "mendora-cli info reads ${real_files[0]##*/}" grep -q '^version: [0-9]' <<<"$info"
fi

for page in /usr/share/man/man1/mendora.1.gz /usr/share/man/man1/mendora-cli.1.gz; do
  warnings="$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)" || warnings="man failed"
  [[ -n "$warnings" ]] && printf '%s\n' "$warnings" >&2
  check "man -l ${page##*/} reads without a warning" test -z "$warnings"
  check "man -l ${page##*/} shows the NAME section" \
    grep -q '^NAME' <(MANWIDTH=80 man -l "$page" 2>/dev/null)
done

check "desktop-file-validate mendora.desktop" \
  desktop-file-validate /usr/share/applications/mendora.desktop
check "the desktop entry starts an installed program" \
  grep -qx 'Exec=mendora %f' /usr/share/applications/mendora.desktop
# What makes a file manager offer "Open with Mendora" for a .mdf file.
check "the desktop entry opens .mdf files" \
  grep -q '^application/x-sqlserver-mdf=.*mendora.desktop' /usr/share/applications/mimeinfo.cache
if command -v update-mime-database >/dev/null 2>&1; then
  check "the .mdf file type is known" test -s /usr/share/mime/application/x-sqlserver-mdf.xml
fi
for size in 16 32 48 64 128 256; do
  check "icon ${size}x${size}" test -s "/usr/share/icons/hicolor/${size}x${size}/apps/mendora.png"
done
check "the manual is in /usr/share/doc/mendora" test -s /usr/share/doc/mendora/help/index.html
check "the bash completion is installed" \
  test -s /usr/share/bash-completion/completions/mendora-cli

trap - EXIT
remove_package
check "the package is removed" test ! -e /usr/bin/mendora-cli

if ((${#failed[@]})); then
  echo "== package check FAILED: ${failed[*]}" >&2
  exit 1
fi
echo "== package $deb installed, checked and removed"
