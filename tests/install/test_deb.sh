#!/usr/bin/env bash
# The Debian package: cpack builds it, lintian finds nothing to fault, it installs on this machine, what
# it installed validates and its manual pages are found, the installed desktop entry's launcher starts the
# program for a new user, and the package is removed again. Needs root, dpkg and lintian.
#   test_deb.sh BUILD_FOLDER CPACK
set -euo pipefail
build=$1
cpack=$2
[ "$(id -u)" -eq 0 ] || { echo "SKIPPED: installing a .deb needs root"; exit 77; }
command -v dpkg >/dev/null && command -v dpkg-deb >/dev/null || { echo "SKIPPED: no dpkg on this machine"; exit 77; }
command -v lintian >/dev/null || { echo "SKIPPED: no lintian on this machine (scripts/setup.sh --test installs it)"; exit 77; }
if dpkg-query -W -f='${Status}' worvane 2>/dev/null | grep -q 'ok installed' || [ -e /usr/bin/worvane ] ||
  [ -e /usr/bin/worvane-launch ]; then
  echo "SKIPPED: Worvane is already installed in /usr on this machine; it is left alone"
  exit 77
fi
. "$(dirname "$0")/common.sh"

"$cpack" -G DEB -B "$work/package" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1 ||
  fail "cpack: $(cat "$work/cpack.log")"
debs=("$work"/package/worvane_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no worvane_*.deb: $(ls "$work/package")"
deb=${debs[0]}
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "the package's version is not $version"

# No error and no warning (a tag found acceptable would be overridden in the package, with its reason).
# (Run as the ordinary user: lintian needs no root.)
"${as_user[@]}" env -i PATH=/usr/bin:/bin lintian --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 ||
  fail "lintian: $(cat "$work/lintian.log")"

depends=$(dpkg-deb -f "$deb" Depends)
for p in libqt6widgets6 libsqlite3-0 libpq5 libxlsxwriter4; do
  [[ ", $depends," == *", $p"[\ ,]* ]] || fail "the package does not depend on $p: $depends"
done
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/bin/worvane ./usr/bin/worvane-newdb ./usr/bin/worvane-report ./usr/bin/worvane-copy ./usr/bin/worvane-launch \
  ./usr/share/applications/org.worvane.Worvane.desktop \
  ./usr/share/icons/hicolor/scalable/apps/org.worvane.Worvane.svg \
  ./usr/share/metainfo/org.worvane.Worvane.metainfo.xml ./usr/share/doc/worvane/copyright \
  ./usr/share/doc/worvane/changelog.gz ./usr/share/man/man1/worvane.1.gz ./usr/share/man/man1/worvane-report.1.gz; do
  grep -qx "$f" <<<"$contents" || fail "the package lacks $f"
done

# Installed as any user would, and removed again whatever happens.
export DEBIAN_FRONTEND=noninteractive
cleanup_hooks+=('apt-get purge -y -qq -o DPkg::Lock::Timeout=120 worvane >/dev/null 2>&1 || dpkg --purge worvane >/dev/null 2>&1')
if command -v apt-get >/dev/null; then
  apt-get install -y -qq --no-install-recommends -o DPkg::Lock::Timeout=120 "$deb" >"$work/apt.log" 2>&1 ||
    fail "apt-get install: $(cat "$work/apt.log")"
else
  dpkg -i "$deb" >"$work/apt.log" 2>&1 || fail "dpkg -i: $(cat "$work/apt.log")"
fi
dpkg-query -W -f='${Status}' worvane | grep -q 'ok installed' || fail "the package is not installed"

check_installed /usr "$version"
page=$(MANPAGER=cat MANWIDTH=80 man worvane-report 2>&1) || fail "man worvane-report: $page"
[[ $page == *"worvane-report - totals, exports and searches"* ]] || fail "man worvane-report shows: $page"

check_first_start /usr/bin/worvane-launch /usr/bin/worvane "$(new_home deb)"

eval "${cleanup_hooks[-1]}"
unset 'cleanup_hooks[-1]'
[ ! -e /usr/bin/worvane ] && [ ! -e /usr/bin/worvane-launch ] || fail "removing the package left its programs"
echo "PASS"
