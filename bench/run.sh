#!/bin/bash
# The benchmark command. Builds the x86-release and x64-test presets, starts a
# Wine session and the local card service, runs the tool and the floor
# (bench/floor/floor.cpp) side by side and prints the table of figures with
# their goals (bench/run_bench.py). Its options go to run_bench.py:
#   --runs N          runs of each program (default 7)
#   --readme FILE     also write the table into FILE's "## Benchmarks" section
#
# The run keeps out of the way of test runs on the same machine: its Wine
# prefix, display and wineserver are its own (build/bench-wine), and so is its
# card service (build/bench-card-service). Where the system lets it, the
# measuring runs in a network namespace of its own, whose loopback has a free
# port 80; elsewhere it waits for port 80 to be free. Let the machine
# otherwise idle while it runs: the figures are times.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

if [ "${CONFESSION_BENCH_PHASE:-}" != measure ]; then
    scripts/setup.sh
    cmake --preset x86-release >/dev/null
    cmake --build --preset x86-release -j2
    cmake --preset x64-test >/dev/null
    cmake --build --preset x64-test -j2 --target confession_card e2e_driver bench_floor
    export CONFESSION_BENCH_PHASE=measure
    if command -v unshare >/dev/null && command -v ip >/dev/null && unshare --net true 2>/dev/null; then
        exec env CONFESSION_BENCH_NETNS=1 unshare --net -- "$0" "$@"
    fi
fi

if [ "${CONFESSION_BENCH_NETNS:-}" = 1 ]; then
    ip link set lo up
fi

export CONFESSION_WINE_DIR="${CONFESSION_BENCH_WINE_DIR:-$root/build/bench-wine}"
export CARD_SERVICE_STATE_DIR="$root/build/bench-card-service"
unset DISPLAY  # a virtual display of the run's own
cleanup() {
    tests/card_service/service_ctl.sh stop >/dev/null 2>&1 || true
    scripts/wine-session stop
}
trap cleanup EXIT
scripts/wine-session start
source scripts/wine-env.sh

waited=0
until tests/card_service/service_ctl.sh start --port 80 >/dev/null 2>&1; do
    if [ "$waited" = 0 ]; then
        echo "bench: port 80 is taken (a test run?); waiting for it to be free" >&2
    fi
    waited=$((waited + 5))
    if [ "$waited" -ge 1800 ]; then
        echo "bench: port 80 stayed taken for 30 minutes" >&2
        exit 1
    fi
    sleep 5
done

/usr/bin/python3 bench/run_bench.py "$@"
