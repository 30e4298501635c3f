# shellcheck shell=bash
# Shared by the install tests: a work folder, an ordinary user to run as, and the installed launcher
# started with a home folder of its own.

fail() { echo "FAIL: $*" >&2; exit 1; }
skip() { echo "SKIPPED: $*"; exit 77; }

# Waits up to $1 seconds for the command that follows to succeed.
wait_until() {
  local seconds=$1; shift
  local i
  for ((i = 0; i < seconds * 10; i++)); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# The work folder, removed at exit; every process this script started ends first.
work=$(mktemp -d /tmp/worvane-install.XXXXXX)
chmod 755 "$work"
pids=()
cleanup_hooks=()
cleanup() {
  local p h
  for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null || true; done
  for h in "${cleanup_hooks[@]}"; do eval "$h" || true; done
  chmod -R u+w "$work" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Root may write to every folder, so as root the program is run as nobody, like an ordinary user of an
# installed copy.
# (A command array, not a function, so that the process started in the background is the program itself.)
if [ "$(id -u)" -eq 0 ]; then
  user_uid=65534
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups --)
else
  user_uid=$(id -u)
  as_user=()
fi

# A new, empty home folder owned by that user: new_home NAME
new_home() {
  local home=$work/$1
  mkdir -p "$home/run"
  chmod 700 "$home/run"
  [ "$(id -u)" -ne 0 ] || chown -R "$user_uid:$user_uid" "$home"
  echo "$home"
}

# Starts LAUNCHER as the user with HOME, the offscreen platform and a clean environment (only the
# sanitizers' options pass); any further
# NAME=VALUE arguments are added to it. Standard input comes from $work/HOME-NAME.in when that is a
# FIFO; the output goes to $work/HOME-NAME.out. Sets $pid.
start_launcher() {
  local launcher=$1 home=$2; shift 2
  local name; name=$(basename "$home")
  local input=/dev/null
  [ -p "$work/$name.in" ] && input=$work/$name.in
  local keep=() v
  for v in ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS; do
    [ -z "${!v:-}" ] || keep+=("$v=${!v}")
  done
  "${as_user[@]}" env -i PATH=/usr/bin:/bin LANG=C.UTF-8 HOME="$home" XDG_RUNTIME_DIR="$home/run" \
    XDG_CACHE_HOME="$home/cache" QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='qt.qpa.*=false' "${keep[@]}" "$@" \
    "$launcher" <"$input" >"$work/$name.out" 2>"$work/$name.err" &
  pid=$!
  pids+=("$pid")
}

# The real program, started through LAUNCHER for a new user: it prepares the per-user settings file and
# database, and the program named PROGRAM runs and stays up. check_first_start LAUNCHER PROGRAM HOME
check_first_start() {
  local launcher=$1 program=$2 home=$3
  local ini=$home/.config/worvane/Worvane.ini db=$home/.local/share/worvane/worvane.db
  start_launcher "$launcher" "$home"
  wait_until 20 test -s "$ini" || fail "no per-user settings file $ini: $(cat "$work/$(basename "$home").err")"
  [ "$(cat "$ini")" = "$(printf '[MDB Path]\nPath=%s' "$db")" ] || fail "unexpected $ini: $(cat "$ini")"
  [ "$(head -c 15 "$db")" = "SQLite format 3" ] || fail "$db is not a new database"
  grep -q DM_PRJMST "$db" || fail "$db has no project table"
  [ "$(stat -c %u "$ini")" = "$user_uid" ] || fail "$ini does not belong to the user"
  # With the settings file and the database in place start-up shows no message, so the program goes on to
  # its main window; it must still be running after two seconds.
  sleep 2
  kill -0 "$pid" 2>/dev/null || fail "the program ended: $(cat "$work/$(basename "$home").err")"
  [ "$(readlink "/proc/$pid/exe")" = "$program" ] || fail "the running program is $(readlink "/proc/$pid/exe")"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
}

# What every install must pass, in PREFIX (a temporary prefix, or /usr for the package): the desktop entry
# and the AppStream metadata validate, the metadata names VERSION and the license of the copyright file,
# and every program answers --version and --help (with no display, before anything else) and has its
# manual page. check_installed PREFIX VERSION
check_installed() {
  local prefix=$1 version=$2 id=org.worvane.Worvane
  local desktop=$prefix/share/applications/$id.desktop metainfo=$prefix/share/metainfo/$id.metainfo.xml
  desktop-file-validate "$desktop" >"$work/desktop.log" 2>&1 || fail "desktop-file-validate: $(cat "$work/desktop.log")"
  [ ! -s "$work/desktop.log" ] || fail "desktop-file-validate has remarks: $(cat "$work/desktop.log")"
  appstreamcli validate --no-net --pedantic "$metainfo" >"$work/appstream.log" 2>&1 ||
    fail "appstreamcli validate: $(cat "$work/appstream.log")"
  grep -q "<release type=\"stable\" version=\"$version\" date=\"[0-9-]*T00:00:00Z\">" "$metainfo" ||
    fail "the metadata does not name $version"
  local license copyright
  license=$(sed -n 's|.*<project_license>\(.*\)</project_license>.*|\1|p' "$metainfo")
  copyright=$(awk '/^Files: \*$/ { files = 1 } files && /^License:/ { print $2; exit }' \
    "$prefix/share/doc/worvane/copyright")
  [ -n "$license" ] && [ "$license" = "$copyright" ] ||
    fail "the metadata's license ($license) is not the copyright file's ($copyright)"

  local program name out
  for program in "$prefix"/bin/worvane*; do
    name=$(basename "$program")
    out=$(env -i PATH=/usr/bin:/bin "$program" --version 2>&1) || fail "$name --version: $out"
    [ "$out" = "$name $version" ] || fail "$name --version says: $out"
    out=$(env -i PATH=/usr/bin:/bin "$program" --help 2>&1) || fail "$name --help: $out"
    [[ $out == "usage: $name "* || $out == "使い方: $name "* ]] || fail "$name --help says: $out"
    [ -f "$prefix/share/man/man1/$name.1.gz" ] || fail "$name has no manual page"
  done
}
