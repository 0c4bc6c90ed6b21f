#!/bin/bash
# Builds the tool and starts it under Wine, with the local card service on
# this machine answering its card requests.
#
# On a desktop (DISPLAY set) the window opens there and the script ends when
# the window is closed. Without a display the tool runs on a virtual one: the
# script then fills in a name, presses the button, leaves a screenshot in
# build/screenshot.png and closes the tool.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

scripts/setup.sh
cmake --preset x64-test >/dev/null
cmake --build --preset x64-test --target confession_card e2e_driver -j2 >/dev/null

had_display=no
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    had_display=yes
fi

scripts/wine-session start
source scripts/wine-env.sh  # the display that the session uses
tests/card_service/service_ctl.sh start --port 80 >/dev/null
cleanup() {
    tests/card_service/service_ctl.sh stop >/dev/null 2>&1 || true
    scripts/wine-session stop
}
trap cleanup EXIT

tool=build/x64-test/app/confession_card.exe
if [ "$had_display" = yes ]; then
    echo "run: the card service answers on http://127.0.0.1/; close the window to end."
    scripts/wine-run "$tool" || true
else
    /usr/bin/python3 scripts/demo.py "$tool" build/x64-test/tests/e2e/e2e_driver.exe build/screenshot.png
fi
echo "run: requests the card service received:"
/usr/bin/python3 - <<'PY'
import json, urllib.request
with urllib.request.urlopen("http://127.0.0.1/__requests?path=/app/index.php") as answer:
    for record in json.loads(answer.read().decode("ascii")):
        print("  " + record["request_line"])
PY
