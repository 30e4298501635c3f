#!/usr/bin/env bash
# Sets up, builds and starts Worvane. On the first start it writes Worvane.ini beside the program and a
# new database with a few demo projects.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-release"

"$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"

bin="$build/src"
if [ ! -f "$bin/Worvane.ini" ]; then
  db="$bin/worvane-demo.db"
  [ -f "$db" ] || "$build/tools/worvane-newdb" "$db" --demo
  printf '[MDB Path]\nPath=%s\n\n[Default Value]\nPJCode=A0012345\n' "$db" > "$bin/Worvane.ini"
  echo "Wrote $bin/Worvane.ini (database: $db)"
fi
exec "$bin/worvane" "$@"
