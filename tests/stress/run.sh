#!/usr/bin/env bash
# Two copies of the program's core on one database at once, with the Firebird server
# killed and started again in the middle. Afterwards no entry may be lost or doubled,
# every group must have both tables, and neither copy may hang or crash.
#
# The server is one of its own, started here on a free port with a folder of its own, so
# that killing it disturbs no other test run on this machine.
#
# usage: tests/stress/run.sh PATH/TO/kumo_stress [SECONDS]
set -euo pipefail

# A server killed in the middle of a table's creation has, rarely, left a database that
# the server itself then reports as corrupt (a consistency check of its own pages). No
# client can prevent or repair that, so such a run is made once more, on a fresh server
# and database; any other failure, or that one twice, fails.
if [ -z "${KUMO_STRESS_ATTEMPT:-}" ]; then
  log=$(mktemp /tmp/kumostress-log-XXXXXX)
  trap 'rm -f "$log"' EXIT
  for attempt in 1 2; do
    if KUMO_STRESS_ATTEMPT=$attempt bash "$0" "$@" 2>&1 | tee "$log"; then exit 0; fi
    grep -qE 'appears corrupt|consistency check|bugcheck' "$log" || exit 1
    [ $attempt -eq 1 ] && printf '==> The server reported its own database corrupt after the kill; once more\n'
  done
  exit 1
fi

stress=$(readlink -f "$1")
seconds=${2:-30}
say() { printf '==> %s\n' "$*"; }
fail() { printf 'STRESS FAILED: %s\n' "$*" >&2; exit 1; }

fbroot=$(ls -d /usr/lib/*/firebird/3.0 2>/dev/null | head -1)
[ -x /usr/sbin/firebird ] && [ -n "$fbroot" ] || fail "the Firebird 3 server is not installed (bash scripts/setup.sh)"
command -v isql-fb >/dev/null || fail "isql-fb is missing (bash scripts/setup.sh)"

root=$(mktemp -d /tmp/kumostress-XXXXXX)
server=""
workers=()
cleanup() {
  for p in "${workers[@]}"; do kill -9 "$p" 2>/dev/null || true; done
  [ -n "$server" ] && kill -9 "$server" 2>/dev/null || true
  [ -n "$server" ] && wait "$server" 2>/dev/null || true
  rm -rf "$root"
}
trap cleanup EXIT

port_open() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
port=""
for p in $(seq 3071 3099); do
  if ! port_open "$p"; then port=$p; break; fi
done
[ -n "$port" ] || fail "no free port between 3071 and 3099"

# A server root of its own: the installed plugins and messages, its own configuration,
# lock folder and security database.
mkdir -p "$root/lock" "$root/data"
for f in plugins intl UDF lib firebird.msg plugins.conf; do ln -s "$fbroot/$f" "$root/$f"; done
cat >"$root/firebird.conf" <<EOF
RemoteServicePort = $port
RemoteBindAddress = localhost
SecurityDatabase = $root/security3.fdb
UdfAccess = None
EOF
echo "security.db = $root/security3.fdb" >"$root/databases.conf"
fbenv=(env FIREBIRD="$root" FIREBIRD_LOCK="$root/lock" FIREBIRD_TMP="$root")
printf "CREATE DATABASE '%s/security3.fdb' USER 'SYSDBA';\nCREATE USER SYSDBA PASSWORD 'copperelk';\nCOMMIT;\n" "$root" |
  "${fbenv[@]}" timeout 60 isql-fb -q -user SYSDBA >"$root/isql.log" 2>&1 || { cat "$root/isql.log"; fail "cannot make the security database"; }

start_server() {
  "${fbenv[@]}" /usr/sbin/firebird >>"$root/server.log" 2>&1 &
  server=$!
  for _ in $(seq 1 100); do port_open "$port" && return 0; sleep 0.1; done
  fail "the server did not start on port $port"
}
start_server
say "Stress: two copies for $seconds s on a server of its own (port $port)"
db="localhost/$port:"
timeout 60 "$stress" init "$db" "$root/data/" || fail "init"

limit=$((seconds + 90))   # the copies stop after $seconds; a step never takes long
for w in 1 2; do
  timeout --kill-after=5 "$limit" "$stress" work "$db" "$root/data/" "$w" "$seconds" "$root/journal$w" &
  workers+=($!)
done

sleep $((seconds * 2 / 5))
say "Killing the server (pid $server) in the middle of the work"
{ kill -9 "$server"; wait "$server"; } 2>/dev/null || true
server=""
sleep 2   # as long as the guardian takes to start it again
start_server
say "Server started again"

rc=0
for i in 0 1; do
  if wait "${workers[$i]}"; then :; else
    code=$?
    case $code in
      124|137) echo "STRESS FAILED: copy $((i + 1)) hung (stopped after $limit s)" >&2 ;;
      *) echo "STRESS FAILED: copy $((i + 1)) ended with code $code" >&2 ;;
    esac
    rc=1
  fi
done
workers=()
timeout 120 "$stress" check "$db" "$root/data/" "$root/journal1" "$root/journal2" || rc=1
[ $rc -eq 0 ] || fail "see above"
say "Stress passed"
