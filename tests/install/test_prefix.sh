#!/usr/bin/env bash
# `cmake --install` into a temporary prefix: the files it puts there, that they validate, and the
# installed launcher with the installed program. Then, with a test copy of the program in its place that
# prints its messages, which settings file each kind of copy reads.
#   test_prefix.sh BUILD_FOLDER TESTHOST
set -euo pipefail
build=$1
testhost=$2
. "$(dirname "$0")/common.sh"

id=org.worvane.Worvane
prefix=$work/prefix
mkdir "$prefix"
env -u DESTDIR cmake --install "$build" --prefix "$prefix" >"$work/install.log" || fail "$(cat "$work/install.log")"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
expected="bin/worvane
bin/worvane-copy
bin/worvane-launch
bin/worvane-newdb
bin/worvane-report
share/applications/$id.desktop
share/doc/worvane/changelog.gz
share/doc/worvane/copyright
share/icons/hicolor/scalable/apps/$id.svg
share/man/man1/worvane-copy.1.gz
share/man/man1/worvane-launch.1.gz
share/man/man1/worvane-newdb.1.gz
share/man/man1/worvane-report.1.gz
share/man/man1/worvane.1.gz
share/metainfo/$id.metainfo.xml"
actual=$(cd "$prefix" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort)
[ "$actual" = "$expected" ] || fail "installed files differ:$(diff <(echo "$expected") <(echo "$actual"))"
for f in worvane worvane-copy worvane-launch worvane-newdb worvane-report; do
  [ -x "$prefix/bin/$f" ] || fail "bin/$f is not executable"
done
check_installed "$prefix" "$version"
desktop=$prefix/share/applications/$id.desktop
grep -qx 'Exec=worvane-launch' "$desktop" || fail "the desktop entry does not run the launcher"
grep -qx 'Name\[ja\]=ワーベーン' "$desktop" || fail "the desktop entry has no Japanese name"
grep -qx 'Categories=Office;' "$desktop" || fail "the desktop entry is not in Office"
grep -qx "Icon=$id" "$desktop" || fail "the desktop entry names another icon"
[ "$(zcat "$prefix/share/doc/worvane/changelog.gz" | head -1)" = "worvane ($version) unstable; urgency=medium" ] ||
  fail "the changelog does not start with $version"

# Every manual page the build made, those of programs not installed from here too, reads without a
# warning from man (as lintian reads them).
for page in "$build"/packaging/man/*.1.gz; do
  out=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null) ||
    fail "man $page: $out"
  [ -z "$out" ] || fail "man warns about $page: $out"
done

# An installed copy lives in a folder its users cannot write to.
if [ "$(id -u)" -ne 0 ]; then
  chmod 555 "$prefix/bin"
  cleanup_hooks+=('chmod 755 "$prefix/bin"')
fi

# The real program, through the launcher, for a new user.
check_first_start "$prefix/bin/worvane-launch" "$prefix/bin/worvane" "$(new_home first)"

# From here on the program is the test copy, which prints every message and "READY" once its window
# is up, and closes on a line "close".
chmod u+w "$prefix/bin"
cp "$testhost" "$prefix/bin/worvane"
[ "$(id -u)" -eq 0 ] || chmod 555 "$prefix/bin"

# run_host HOME [NAME=VALUE...]: starts it through the launcher, closes it once it is ready; its
# output is then in $out.
run_host() {
  local home=$1; shift
  local name; name=$(basename "$home")
  rm -f "$work/$name.in"
  mkfifo "$work/$name.in"
  start_launcher "$prefix/bin/worvane-launch" "$home" "$@"
  exec 3>"$work/$name.in"
  wait_until 20 grep -q READY "$work/$name.out" || fail "$name: the program did not start: $(cat "$work/$name.err")"
  echo close >&3
  exec 3>&-
  wait_until 20 eval '! kill -0 $pid 2>/dev/null' || fail "$name: the program did not end"
  wait "$pid" || fail "$name: the program ended with $?"
  out=$(cat "$work/$name.out")
}
missing='MESSAGE critical|ワーベーン|MDBのPATHが見つかりません。'

# The settings the launcher prepared are the ones the program reads: no message at all, not even the
# one of the compaction at exit. A second start changes nothing that exists.
home=$work/first
ini=$home/.config/worvane/Worvane.ini
printf '\n[Default Value]\nPJCode=A0012345\n' >>"$ini"
cp "$ini" "$work/first.ini"
run_host "$home"
[[ $out == READY ]] || fail "with the prepared settings: $out"
cmp -s "$ini" "$work/first.ini" || fail "the second start changed $ini"

# XDG_CONFIG_HOME and XDG_DATA_HOME are followed, by the launcher and the program alike.
home=$(new_home xdg)
run_host "$home" XDG_CONFIG_HOME="$home/conf" XDG_DATA_HOME="$home/data"
[[ $out == READY ]] || fail "with XDG folders: $out"
grep -qx "Path=$home/data/worvane/worvane.db" "$home/conf/worvane/Worvane.ini" || fail "XDG_DATA_HOME was not followed"
[ ! -e "$home/.config" ] || fail "~/.config was used although XDG_CONFIG_HOME was set"

# A data folder so deep that the database path passes the 199 bytes the program reads of a settings value:
# the launcher makes the database under the path the program reads, and the program finds it.
home=$(new_home deep)
deep=$home/$(printf 'd%.0s' {1..80})/$(printf 'e%.0s' {1..150})
run_host "$home" XDG_DATA_HOME="$deep"
[[ $out == READY ]] || fail "with a database path over 199 bytes: $out"
path=$(sed -n 's/^Path=//p' "$home/.config/worvane/Worvane.ini")
[ "${#path}" -le 199 ] && [ -f "$path" ] || fail "the settings name $path, not a database of at most 199 bytes"

# A settings file beside the program comes first: the launcher prepares nothing, the program reads it.
chmod u+w "$prefix/bin"
printf '[MDB Path]\nPath=%s\n' "$work/no-such.db" >"$prefix/bin/Worvane.ini"
[ "$(id -u)" -eq 0 ] || chmod 555 "$prefix/bin"
home=$(new_home beside)
run_host "$home"
[[ $out == "$missing"* ]] || fail "the settings beside the program were not read: $out"
[ -z "$(ls -A "$home" | grep -vx -e run -e cache)" ] || fail "the launcher prepared files although settings lie beside the program"
chmod u+w "$prefix/bin"
rm "$prefix/bin/Worvane.ini"

# A folder the user may write to is a portable copy: its own settings file only, even when none is there
# yet; the per-user one is neither read nor prepared.
[ "$(id -u)" -ne 0 ] || chown "$user_uid" "$prefix/bin"
run_host "$work/first"
[[ $out == "$missing"* ]] || fail "a portable copy read the per-user settings: $out"
home=$(new_home portable)
run_host "$home"
[ -z "$(ls -A "$home" | grep -vx -e run -e cache)" ] || fail "the launcher prepared files for a portable copy"
echo "PASS"
