"""Uses the tool on a virtual display as a person would: waits for the
welcome card's request, types a name and a declaration code, presses the
button, photographs the screen, dismisses the message and closes the window.

usage: demo.py TOOL_EXE DRIVER_EXE SCREENSHOT_PNG
"""

import os
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))

from harness import Driver, Tool, wait_for  # noqa: E402
import harness  # noqa: E402


def main():
    tool_exe, driver_exe, screenshot = sys.argv[1:4]
    harness.DRIVER_EXE = driver_exe
    tool = Tool(tool_exe)
    driver = Driver()
    try:
        main_window = driver("main", 0, 60000)
        if not main_window:
            sys.exit("demo: the window did not appear")
        pid, hwnd = main_window["pid"], main_window["hwnd"]
        children = driver.children(hwnd)
        edits = [c["hwnd"] for c in children if c["class"] == b"Edit"]
        button = [c["hwnd"] for c in children if c["class"] == b"Button"][0]
        type_box, name_box = edits[0], edits[1]
        driver.type_text(name_box, "小明".encode("gbk"))
        driver("key", type_box, 0x23)  # End
        driver("char", type_box, 0x08)  # Backspace
        driver.type_text(type_box, b"3")
        driver("click", button)
        boxes = wait_for(lambda: driver.boxes(pid), timeout=15)
        time.sleep(0.5)
        subprocess.run(["import", "-window", "root", screenshot], check=True)
        print("demo: screenshot in " + screenshot)
        if boxes:
            print("demo: the tool said: " + boxes[0]["text"].decode("gbk").replace("\r\n", " / "))
            driver("dismiss", boxes[0]["hwnd"])
        driver("close", hwnd)
        code = tool.wait(15)
        print("demo: the tool ended with exit code %s" % code)
    finally:
        tool.kill()
        driver.close()


if __name__ == "__main__":
    main()
