"""The card service's host is checked when the build is configured: a plain
host name passes, anything else stops the configure step with a message."""

import os
import subprocess
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
CHECK = os.path.join(ROOT, "cmake", "card_service_host.cmake")


def configure_check(host):
    with tempfile.TemporaryDirectory() as scratch:
        script = os.path.join(scratch, "check.cmake")
        with open(script, "w") as out:
            out.write('include("%s")\ncheck_card_service_host("${HOST}")\n' % CHECK.replace("\\", "/"))
        return subprocess.run(["cmake", "-DHOST=" + host, "-P", script], capture_output=True, text=True)


class CardServiceHostTest(unittest.TestCase):
    def test_plain_host_names_pass(self):
        for host in ("localhost", "cards.example.com", "a", "x-1.y2.z", "127.0.0.1"):
            with self.subTest(host=host):
                result = configure_check(host)
                self.assertEqual(result.returncode, 0, result.stderr)

    def test_anything_else_stops_with_a_message(self):
        for host in ("", "http://cards.example.com", "cards.example.com:8080", "user@cards.example.com",
                     "cards.example.com/", "cards.example.com/app", "-cards", "cards..example", "ca rds",
                     "cards.example.com?x=1", "cards.example.com#f"):
            with self.subTest(host=host):
                result = configure_check(host)
                self.assertNotEqual(result.returncode, 0)
                self.assertIn("CARD_SERVICE_HOST", result.stderr)


if __name__ == "__main__":
    unittest.main()
