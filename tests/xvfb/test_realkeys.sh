#!/usr/bin/env bash
# The built program on a real X server (Xvfb), driven with real X key events (XTest, through xdotool):
# what only a real display shows. After a modal box closes, the window is inactive for a moment and no
# widget has the focus; a key handled twice, or a focus that does not come back, shows only here.
# Every box and file dialog the program shows is read from its log (category worvane.ui), so a box shown
# twice is seen even when both are answered.
# Usage: test_realkeys.sh PROGRAM NEWDB [server]
#   server: only the team database's case, on the test cluster that WORVANE_TEST_SERVER names.
set -uo pipefail
program=$1
newdb=$2
mode=${3:-file}
work=$(mktemp -d)
xvfb=
app=
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
passed=0
failed=0
fail() { echo "FAIL: $*"; failed=$((failed + 1)); }
ok() { echo "ok: $*"; passed=$((passed + 1)); }

# A copy of the program with its own settings file beside it, a demo database and a private lock folder.
cp "$program" "$work/worvane"
"$newdb" "$work/w.db" --demo >/dev/null
printf '[MDB Path]\nPath=%s\n\n[Default Value]\nPJCode=A0012345\n' "$work/w.db" >"$work/Worvane.ini"
mkdir -m 700 "$work/run"

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
exec 3>&-
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(cat "$work/display")"

log="$work/log"
main=
# Starts the program and gives its window the keyboard; "unactivated": the keys go to the window under the
# pointer (the focus on the root window, as without a window manager), and the window is never activated.
start() {
  : >"$log"
  XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=xcb QT_LOGGING_RULES='worvane.ui.info=true' \
    QT_MESSAGE_PATTERN='%{category}: %{message}' "$work/worvane" 2>"$log" &
  app=$!
  main=$(timeout 10 xdotool search --sync --onlyvisible --name '^ワーベーン$' | head -n 1)
  back=$main
  if [ "${1:-}" == unactivated ]; then
    xdotool mousemove --window "$main" 300 200
    xdotool windowfocus --sync "$(xdotool search --maxdepth 0 --name '.*' | head -n 1)"
  else
    xdotool windowfocus --sync "$main"
  fi
  sleep 0.3
}

# The conversation so far: every box (kind, title, text), answer and save dialog, one a line.
said() { grep '^worvane.ui: ' "$log" | sed 's/^worvane.ui: //'; }
expected=()
# Waits until the program has said what is expected, then a little longer for anything that must not
# follow (a second box), and compares.
check() {
  local name=$1 want
  want=$(printf '%s\n' "${expected[@]}" | sed '/^$/d')
  for _ in $(seq 50); do [ "$(said | wc -l)" -ge "$(printf '%s' "$want" | grep -c .)" ] && break; sleep 0.1; done
  sleep 0.8
  if [ "$(said)" == "$want" ]; then ok "$name"; else
    fail "$name"; diff <(echo "$want") <(said) | sed 's/^/    /'
    mapfile -t expected < <(said) # the next step is judged on its own
  fi
}
focused() { xdotool getwindowfocus 2>/dev/null; }
focusedName() { xdotool getwindowfocus getwindowname 2>/dev/null; }
# Waits for a box or dialog to take the focus from the window it came from ($back, the main window
# unless a dialog is open), presses keys in it, and waits for the focus to come back to that window.
answer() {
  for _ in $(seq 50); do [ "$(focused)" != "$back" ] && break; sleep 0.1; done
  sleep 0.2
  xdotool key "$@"
  for _ in $(seq 50); do [ "$(focused)" == "$back" ] && return; sleep 0.1; done
  fail "the keyboard did not come back after $*"
}
# The same when another box follows: waits only for the focus to leave this one.
reply() {
  local box
  for _ in $(seq 50); do [ "$(focused)" != "$back" ] && break; sleep 0.1; done
  sleep 0.2
  box=$(focused)
  xdotool key "$@"
  for _ in $(seq 50); do [ "$(focused)" != "$box" ] && return; sleep 0.1; done
  fail "the box stayed after $*"
}
key() { xdotool key "$@"; sleep 0.15; }
type() { xdotool type --delay 20 "$1"; sleep 0.1; }
# F1, the question answered yes with its key, and the box that tells of the save closed with Enter.
save_day() {
  key F1
  expected+=("message question ワーベーン 入力内容でデータベースを更新します。 / 処理を実行してよろしいですか？")
  reply y
  expected+=("answer yes" "message information ワーベーン データベースの更新が完了しました。")
  answer Return
  expected+=("answer ok")
}

# The team database, a table locked by someone else: F1 waits, the box that says so takes Escape, which
# cancels the save on the server; the keyboard comes back to the window after each box.
if [ "$mode" == server ]; then
  admin=$(cat "$WORVANE_TEST_SERVER/admin")
  team=${admin%/postgres}/realkeys
  psql -q "$admin" -c "DROP DATABASE IF EXISTS realkeys WITH (FORCE)" -c "CREATE DATABASE realkeys"
  "$newdb" "$team" --demo >/dev/null
  psql -q "$team" -c "DO \$\$ BEGIN CREATE ROLE alice LOGIN PASSWORD 'secret' IN ROLE worvane_user;
    CREATE ROLE bob LOGIN PASSWORD 'secret' IN ROLE worvane_user;
    EXCEPTION WHEN duplicate_object OR unique_violation THEN NULL; END \$\$"
  printf '[MDB Path]\nPath=%s\n\n[Default Value]\nPJCode=A0012345\n' "${team/postgres@/alice@}" >"$work/Worvane.ini"
  start
  key Return
  type 20240301
  key Return Return
  type 0900
  key Tab
  type 1800
  key shift+Tab
  check "a day of the team database opens without a box"
  psql -q "${team/postgres@/bob@}" -c "BEGIN" -c "LOCK TABLE df_wktime IN ACCESS EXCLUSIVE MODE" \
    -c "SELECT pg_sleep(30)" >/dev/null 2>&1 &
  locker=$!
  sleep 1
  key F1
  expected+=("message question ワーベーン 入力内容でデータベースを更新します。 / 処理を実行してよろしいですか？")
  reply y
  expected+=("answer yes")
  sleep 1.5 # the box that says the database is working
  reply Escape
  expected+=("message information ワーベーン 処理を中止しました。 / 入力内容は画面に残っています。")
  answer Return
  expected+=("answer ok")
  check "Escape in the waiting box cancels the save, and says so once"
  kill "$locker" 2>/dev/null
  psql -q "$admin" -c "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = 'realkeys' AND usename = 'bob'" >/dev/null
  saved=$(psql -tA "$team" -c "SELECT COUNT(*) FROM df_wktime" 2>/dev/null || echo error)
  [ "$saved" == 0 ] && ok "nothing was saved" || fail "saved: $saved"
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
  exit
fi

start
# Header state: the keys that need an open day do nothing and say nothing.
key F1 F2 F5 F6 F9
check "F1 F2 F5 F6 F9 do nothing before a search"

# The keyboard road: code, Enter, date, Enter, Enter on 検索.
key Return
type 20240301
key Return Return
check "Enter, Enter, Enter searches without a box"

key F5
expected+=("message warning ワーベーン 作業項目№は必須入力です。")
answer Return
expected+=("answer ok")
check "F5 with an empty number warns once"

key F6
expected+=("message warning ワーベーン 作業項目№は必須入力です。" "answer ok")
answer Return
check "F6 with an empty number warns once"

key F9
expected+=("message warning ワーベーン 削除できる作業情報がありません。" "answer ok")
answer Return
check "F9 on an empty list warns once"

# The focus came back to the number field: what is typed now lands there.
type 1
key Return
type "title one"
key Return
type "detail one"
key F5
check "F5 with a whole item adds it without a box"
key F5
expected+=("message warning ワーベーン 作業項目№が重複しています。" "answer ok")
answer Return
check "F5 again warns once of the duplicate"
key F6
check "F6 changes the item without a box"

key F1
expected+=("message warning ワーベーン 就労時間は必須入力です。" "answer ok")
answer Return
check "F1 without hours warns once"
# The focus is in the start time now.
type 0900
key Return
type 1800
save_day
check "F1 asks once, saves once, tells once"
rows=$(sqlite3 "$work/w.db" "SELECT WSTIME || '-' || WETIME FROM DF_WKTIME; SELECT WKCODE || '|' || WKHEAD || '|' || DETAIL FROM DF_WKCONT;" | tr '\n' ' ')
[ "$rows" == "09:00-1800 1|title one|detail one " ] && ok "the day is stored as typed" || fail "stored: $rows"

key shift+F1
expected+=("message question ワーベーン 入力内容でデータベースを更新します。 / 処理を実行してよろしいですか？")
answer Return
expected+=("answer no")
check "Shift+F1 asks once; Enter answers No"

key F2
expected+=("save dialog 20240301")
answer Escape
expected+=("save dialog cancelled")
check "F2 opens the save dialog once"

key F9
check "F9 deletes the only item without a box"
key F9
expected+=("message warning ワーベーン 削除できる作業情報がありません。" "answer ok")
answer Return
check "then F9 warns once"

key F3
check "F3 cancels without a box"
# The second row of buttons, with the mouse: 月報 (at 105, 429 in the window) opens the month window as F7
# does, and leaves the keyboard in the code field, not on the button, where Enter would open it again.
xdotool mousemove --window "$main" 105 429 click 1
for _ in $(seq 50); do [ "$(focusedName)" == "月報" ] && break; sleep 0.1; done
[ "$(focusedName)" == "月報" ] && ok "a click on 月報 opens the month window" || fail "月報 by mouse: $(focusedName)"
key Escape
for _ in $(seq 50); do [ "$(focused)" == "$main" ] && break; sleep 0.1; done
key Return
sleep 0.5
if [ "$(focused)" == "$main" ]; then ok "after it the keyboard is in the code field"; else
  fail "Enter after 月報: $(focusedName)"
  key Escape
fi
key F7
for _ in $(seq 50); do [ "$(focusedName)" == "月報" ] && break; sleep 0.1; done
[ "$(focusedName)" == "月報" ] && ok "F7 opens the month window" || fail "month window: $(focusedName)"
key Escape
sleep 0.5
[ "$(focused)" == "$main" ] && ok "Escape closes the month window" || fail "after Escape: $(focusedName)"
# 提出状況: Enter on a day opens 日報参照; Escape closes each, and the focus comes back where it was.
key F12
for _ in $(seq 50); do [ "$(focusedName)" == "提出状況" ] && break; sleep 0.1; done
[ "$(focusedName)" == "提出状況" ] && ok "F12 opens 提出状況" || fail "提出状況: $(focusedName)"
key Return
for _ in $(seq 50); do [ "$(focusedName)" == "日報参照" ] && break; sleep 0.1; done
[ "$(focusedName)" == "日報参照" ] && ok "Enter on a day opens 日報参照" || fail "日報参照: $(focusedName)"
key Escape
for _ in $(seq 50); do [ "$(focusedName)" == "提出状況" ] && break; sleep 0.1; done
[ "$(focusedName)" == "提出状況" ] && ok "Escape goes back to 提出状況" || fail "after 日報参照: $(focusedName)"
key Escape
for _ in $(seq 50); do [ "$(focused)" == "$main" ] && break; sleep 0.1; done
[ "$(focused)" == "$main" ] && ok "Escape closes 提出状況" || fail "after 提出状況: $(focusedName)"
# The search window: typed words find the saved item; Enter goes to the hits, Enter opens the day. F11
# acts only on an open day, and this one has no earlier day.
key F8
for _ in $(seq 50); do [ "$(focusedName)" == "全文検索" ] && break; sleep 0.1; done
[ "$(focusedName)" == "全文検索" ] && ok "F8 opens the search window" || fail "search window: $(focusedName)"
type "TITLE"
key Return Return
for _ in $(seq 50); do [ "$(focused)" == "$main" ] && break; sleep 0.1; done
key F11
expected+=("message information ワーベーン これより前に保存された日報がありません。")
answer Return
expected+=("answer ok")
check "Enter on a hit opens its day; F11 there says once that there is no earlier day"
key F4
for _ in $(seq 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$app" 2>/dev/null; then fail "F4 closes the program"; else
  wait "$app"; status=$?; app=
  [ "$status" -eq 0 ] && ok "F4 closes the program" || { fail "F4: exit status $status"; grep -v '^worvane.ui: ' "$log" | head -30; }
fi
check "F4 closes without a box"

# The dialogs: Enter presses the focused button once; Escape closes them.
expected=()
start
key Tab Return                      # the "…" beside the code: the project window
for _ in $(seq 50); do [ "$(focusedName)" == "プロジェクト検索" ] && break; sleep 0.1; done
[ "$(focusedName)" == "プロジェクト検索" ] && ok "Enter on … opens the project window" || fail "project window: $(focusedName)"
back=$(focused)
type ZZZ
key Tab Tab Return                  # 検索 with a code nobody has
answer Return
expected+=("message warning プロジェクト検索 該当するプロジェクトが存在しません。" "answer ok")
check "Enter on 検索 searches once"
key Tab Tab Tab Return              # 更新 with no name
answer Return
expected+=("message warning プロジェクト検索 PJ名称は必須入力です。" "answer ok")
check "Enter on 更新 checks once"
back=$main
key Escape
for _ in $(seq 50); do [ "$(focused)" == "$main" ] && break; sleep 0.1; done
[ "$(focused)" == "$main" ] && ok "Escape closes the project window" || fail "after Escape: $(focusedName)"

key Tab                             # from the date field to the calendar's "…"
key Return
for _ in $(seq 50); do [ "$(focusedName)" == "カレンダー" ] && break; sleep 0.1; done
[ "$(focusedName)" == "カレンダー" ] && ok "Enter on … opens the calendar" || fail "calendar: $(focusedName)"
key Tab Return                      # 閉じる
sleep 1
[ "$(focused)" == "$main" ] && ok "Enter on 閉じる closes the calendar once" || fail "after 閉じる: $(focusedName)"
key Return                          # the calendar's "…" still has the focus: open it again
for _ in $(seq 50); do [ "$(focusedName)" == "カレンダー" ] && break; sleep 0.1; done
key Escape
sleep 1
[ "$(focused)" == "$main" ] && ok "Escape closes the calendar" || fail "after Escape: $(focusedName)"
check "the dialogs said nothing more"

# Keys that reach a window the system has not activated: Qt moves the focus without focus events, and a
# time left so must still be formatted before it is saved.
key F4
for _ in $(seq 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
wait "$app" 2>/dev/null
app=
expected=()
start unactivated
key Return
type 20240302
key Return Return                   # a new day: the focus goes to the start time
type 0830
key Tab
type 1730
key shift+Tab                       # back in the start time, and F1 there
save_day
check "F1 saves a day typed in a window never activated"
rows=$(sqlite3 "$work/w.db" "SELECT WSTIME || '-' || WETIME FROM DF_WKTIME WHERE WKYMD = '2024/03/02'")
[ "$rows" == "08:30-17:30" ] && ok "both times, each left once, are stored formatted" || fail "stored: $rows"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
