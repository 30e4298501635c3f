#!/usr/bin/env bash
# Installs the Debian packages Worvane needs to build, test and run, where they are missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config libsqlite3-dev libpq-dev
  qt6-base-dev qt6-translations-l10n libgl-dev libxlsxwriter-dev appstream
  fonts-noto-cjk fonts-dejavu-core
)
case "${1:-}" in
  --display) packages+=(xvfb xauth imagemagick x11-apps postgresql-15) ;; # screenshots (a lead's on a team database)
  --bench) packages+=(postgresql-15 pgbouncer sqlite3 poppler-utils) ;; # the team database rows (and through a bouncer); the PDF row reads its files back
  --test) packages+=(libqt6sql6-sqlite libqt6sql6-psql clang libclang-rt-14-dev desktop-file-utils dpkg-dev lintian man-db xvfb xauth xdotool sqlite3 python3-openpyxl libreoffice-calc-nogui postgresql-15 pgbouncer poppler-utils) ;; # fuzzers, install, real-display and team-database tests, a workbook recalculated, a PDF read back
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Worvane needs these Debian packages: ${missing[*]}" >&2
  echo "Install them as root: apt-get install ${missing[*]}" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
