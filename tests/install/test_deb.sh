#!/usr/bin/env bash
# The Debian package: cpack builds it, it installs on this machine, the installed desktop entry's
# launcher starts the program for a new user, and the package is removed again. Needs root and dpkg.
#   test_deb.sh BUILD_FOLDER CPACK
set -euo pipefail
build=$1
cpack=$2
[ "$(id -u)" -eq 0 ] || { echo "SKIPPED: installing a .deb needs root"; exit 77; }
command -v dpkg >/dev/null && command -v dpkg-deb >/dev/null || { echo "SKIPPED: no dpkg on this machine"; exit 77; }
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

depends=$(dpkg-deb -f "$deb" Depends)
for p in libqt6widgets6 libqt6sql6 libqt6sql6-sqlite; do
  [[ ", $depends," == *", $p"[\ ,]* ]] || fail "the package does not depend on $p: $depends"
done
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/bin/worvane ./usr/bin/worvane-newdb ./usr/bin/worvane-report ./usr/bin/worvane-launch \
  ./usr/share/applications/org.worvane.Worvane.desktop \
  ./usr/share/icons/hicolor/scalable/apps/org.worvane.Worvane.svg \
  ./usr/share/metainfo/org.worvane.Worvane.metainfo.xml; do
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

check_first_start /usr/bin/worvane-launch /usr/bin/worvane "$(new_home deb)"

eval "${cleanup_hooks[-1]}"
unset 'cleanup_hooks[-1]'
[ ! -e /usr/bin/worvane ] && [ ! -e /usr/bin/worvane-launch ] || fail "removing the package left its programs"
echo "PASS"
