#!/bin/bash
# Starts and stops the local card service in the background:
#   service_ctl.sh start [--port N] [--host H] [--log FILE]
#                          start it (default 127.0.0.1:80; --port 0 picks a free
#                          port) and wait until it answers /__health
#   service_ctl.sh stop    stop it
#   service_ctl.sh status  "running pid P port N" (exit 0) or "stopped" (exit 3)
#   service_ctl.sh port    the port it listens on
# The pid, the port and the service's own output are kept in
# $CARD_SERVICE_STATE_DIR (default: build/card-service under the repository).
# The service runs under setsid with no tie to the caller's terminal or
# pipes, so a test runner that waits for its children's output does not hang.
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
STATE_DIR="${CARD_SERVICE_STATE_DIR:-$ROOT/build/card-service}"
PID_FILE="$STATE_DIR/service.pid"
PORT_FILE="$STATE_DIR/service.port"
HOST_FILE="$STATE_DIR/service.host"
OUT_FILE="$STATE_DIR/service.out"
START_TIMEOUT="${CARD_SERVICE_START_TIMEOUT:-10}"

if [ -n "${CARD_SERVICE_PYTHON:-}" ]; then
    PYTHON="$CARD_SERVICE_PYTHON"
elif [ -x /usr/bin/python3 ]; then
    # The system Python is the one that sees the system's Pillow.
    PYTHON=/usr/bin/python3
else
    PYTHON=python3
fi

die() {
    echo "service_ctl: $*" >&2
    exit 1
}

usage() {
    echo "usage: $(basename "$0") start [--port N] [--host H] [--log FILE] | stop | status | port" >&2
    exit 2
}

# The pid of the running service, empty when there is none. A pid file left by
# a service that died (or whose pid was reused by another program) is ignored.
running_pid() {
    local pid
    [ -f "$PID_FILE" ] || return 0
    pid=$(cat "$PID_FILE" 2>/dev/null || true)
    [[ "$pid" =~ ^[0-9]+$ ]] || return 0
    kill -0 "$pid" 2>/dev/null || return 0
    local cmdline
    cmdline=$(tr '\0' ' ' < "/proc/$pid/cmdline" 2>/dev/null || true)
    [[ "$cmdline" == *card_service.py* ]] || return 0
    echo "$pid"
}

probe_host() {
    case "$1" in
    0.0.0.0 | "") echo 127.0.0.1 ;;
    :: | "[::]") echo ::1 ;;
    *) echo "$1" ;;
    esac
}

healthy() {
    local host port
    host=$(probe_host "$1")
    port=$2
    "$PYTHON" - "$host" "$port" <<'EOF' >/dev/null 2>&1
import http.client, sys
conn = http.client.HTTPConnection(sys.argv[1], int(sys.argv[2]), timeout=1)
conn.request("GET", "/__health")
sys.exit(0 if conn.getresponse().read() == b"ok" else 1)
EOF
}

cmd_start() {
    local port=80 host=127.0.0.1 log="" port_given=0
    while [ $# -gt 0 ]; do
        case "$1" in
        --port) [ $# -ge 2 ] || usage; port=$2; port_given=1; shift 2 ;;
        --host) [ $# -ge 2 ] || usage; host=$2; shift 2 ;;
        --log) [ $# -ge 2 ] || usage; log=$2; shift 2 ;;
        *) usage ;;
        esac
    done
    [[ "$port" =~ ^[0-9]+$ ]] || die "bad port: $port"
    mkdir -p "$STATE_DIR"

    local pid current
    pid=$(running_pid)
    if [ -n "$pid" ]; then
        current=$(cat "$PORT_FILE" 2>/dev/null || true)
        if [ "$port_given" = 1 ] && [ "$port" != 0 ] && [ "$port" != "$current" ]; then
            die "already running on port $current (pid $pid), not on $port; stop it first"
        fi
        if healthy "$(cat "$HOST_FILE" 2>/dev/null || echo 127.0.0.1)" "$current"; then
            echo "card service already running, pid $pid, port $current"
            return 0
        fi
        die "pid $pid holds the state but does not answer on port $current"
    fi
    rm -f "$PID_FILE" "$PORT_FILE"
    echo "$host" > "$HOST_FILE"

    local args=(--host "$host" --port "$port" --pidfile "$PID_FILE" --ready-file "$PORT_FILE")
    [ -n "$log" ] && args+=(--log "$log")
    echo "--- $(date '+%F %T') start ${args[*]}" >> "$OUT_FILE"
    setsid "$PYTHON" "$HERE/card_service.py" "${args[@]}" </dev/null >>"$OUT_FILE" 2>&1 &
    local child=$!

    local deadline=$((SECONDS + START_TIMEOUT)) bound
    while :; do
        if [ -s "$PORT_FILE" ]; then
            bound=$(cat "$PORT_FILE")
            if healthy "$host" "$bound"; then
                echo "card service started, pid $(cat "$PID_FILE"), port $bound"
                return 0
            fi
        fi
        if ! kill -0 "$child" 2>/dev/null; then
            tail -n 20 "$OUT_FILE" >&2 || true
            die "the card service exited at start (see $OUT_FILE)"
        fi
        if [ "$SECONDS" -ge "$deadline" ]; then
            kill -TERM "$child" 2>/dev/null || true
            tail -n 20 "$OUT_FILE" >&2 || true
            die "the card service did not answer within ${START_TIMEOUT}s"
        fi
        sleep 0.1
    done
}

cmd_stop() {
    local pid
    pid=$(running_pid)
    if [ -z "$pid" ]; then
        rm -f "$PID_FILE" "$PORT_FILE"
        echo "card service not running"
        return 0
    fi
    kill -TERM "$pid" 2>/dev/null || true
    local i
    for i in $(seq 1 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        kill -KILL "$pid" 2>/dev/null || true
    fi
    rm -f "$PID_FILE" "$PORT_FILE"
    echo "card service stopped, pid $pid"
}

cmd_status() {
    local pid
    pid=$(running_pid)
    if [ -n "$pid" ]; then
        echo "running pid $pid port $(cat "$PORT_FILE" 2>/dev/null || echo '?')"
        return 0
    fi
    echo "stopped"
    return 3
}

cmd_port() {
    [ -n "$(running_pid)" ] || die "not running"
    cat "$PORT_FILE"
}

case "${1:-}" in
start) shift; cmd_start "$@" ;;
stop) cmd_stop ;;
status) cmd_status ;;
port) cmd_port ;;
*) usage ;;
esac
