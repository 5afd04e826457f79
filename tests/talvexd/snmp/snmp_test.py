"""TALVEX-MIB through a real snmpd: talvexd as its AgentX subagent, against
the simulated transmitter, read, walked and set with net-snmp's own
clients over v2c and v3, with snmptrapd receiving the notifications."""

import os
import shutil
import tempfile
import time
import unittest

from net_snmp import OBJECTS, ROOT, Snmpd, Snmptrapd, scalar
from talvex_site import Site, wait_for

# A fast SWR alarm, so that a notification comes within seconds.
ALARMS = """[alarms.swr]
threshold = 2.0
delay = 1
clear_delay = 1
[alarms.silence]
enabled = false
"""

FREQUENCY, POWER, SERIAL = scalar(3), scalar(4), scalar(12)


class Snmp(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="talvex-snmp-")
        cls.trapd = Snmptrapd(cls.folder)
        cls.snmpd = Snmpd(cls.folder, cls.trapd.port)
        cls.site = Site(faults=("refuse@11",), extra=ALARMS + f'[snmp]\nagentx = "{cls.snmpd.agentx}"\n')
        registered = wait_for(lambda: cls.snmpd.client("snmpget", [FREQUENCY]).stdout.count("Gauge32"), 15, 0.2)
        assert registered, "talvexd did not register:\n" + cls.site.service_log()

    @classmethod
    def tearDownClass(cls):
        cls.site.close()
        cls.snmpd.stop()
        cls.trapd.stop()
        shutil.rmtree(cls.folder, ignore_errors=True)

    def set(self, oid, kind, value, community="private"):
        return self.snmpd.client("snmpset", [oid, kind, str(value)], community=community, timeout=5)

    def test_reads_are_the_apis_over_v2c_and_v3_and_cause_no_exchange(self):
        serial_reads = self.site.sim.count("19")
        walked = self.snmpd.values("snmpwalk", [ROOT])
        status = self.site.status()
        expected = {
            1: ("INTEGER", "1"),
            2: ("INTEGER", "1" if status["transmitter"] == "on" else "2"),
            3: ("Gauge32", str(round(status["frequency_mhz"] * 10))),
            4: ("Gauge32", str(round(status["power_setting_w"] * 10))),
            8: ("Gauge32", str(status["line_volume_step"])),
            9: ("Gauge32", str(status["mic_volume_step"])),
            12: ("STRING", "20240300001742"),
            14: ("INTEGER", "1" if status["sound"] == "stereo" else "2"),
            16: ("INTEGER", "1" if status["line_on"] else "2"),
            18: ("Gauge32", str(status["temperature_point_c"])),
            19: ("Gauge32", str(round(status["swr_point_ratio"] * 10))),
        }
        for n, value in expected.items():
            self.assertEqual(walked.get(scalar(n)), value, f"talvexObjects.{n}")
        self.assertEqual(sorted(k for k in walked if k.startswith(OBJECTS + ".")), sorted(walked), "only the subtree")
        over_v3 = self.snmpd.values("snmpget", [FREQUENCY, SERIAL], version="3")
        self.assertEqual(over_v3, {FREQUENCY: walked[FREQUENCY], SERIAL: walked[SERIAL]})
        self.assertEqual(self.site.sim.count("19"), serial_reads, "a walk read the serial number from the line")
        refused = self.snmpd.client("snmpget", [FREQUENCY], version="3", auth="not-the-passphrase")
        self.assertNotEqual(refused.returncode, 0)
        self.assertIn("Authentication failure", refused.stderr)

    def test_a_set_goes_to_the_transmitter_or_is_refused_with_the_right_error(self):
        self.assertEqual(self.site.request("PUT", "/api/v1/settings", {"frequency_mhz": 98.5}, "operator")[0], 200)
        result = self.set(FREQUENCY, "u", 1000)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertTrue(self.site.sim.sent("01 03 0E 03 E8"))
        self.assertEqual(self.site.status()["frequency_mhz"], 100.0)
        self.assertIn("'snmp' set talvexFrequency to 100.0: done", self.site.service_log())
        both = self.snmpd.client("snmpset", [scalar(8), "u", "5", scalar(17), "i", "1"], community="private", timeout=10)
        self.assertEqual(both.returncode, 0, both.stderr)
        self.assertEqual((self.site.status()["line_volume_step"], self.site.status()["mic_on"]), (5, True))
        power_sets = self.site.sim.count("11")
        for oid, kind, value, error in [
            (FREQUENCY, "u", 1200, "wrongValue"),
            (FREQUENCY, "i", 1000, "wrongType"),
            (scalar(5), "u", 10, "notWritable"),
            (f"{OBJECTS}.99.0", "u", 10, "noCreation"),
            (POWER, "u", 50, "commitFailed"),  # the simulator refuses every power setting
        ]:
            with self.subTest(value=value, error=error):
                result = self.set(oid, kind, value)
                self.assertNotEqual(result.returncode, 0)
                self.assertIn(f"Reason: {error}", result.stderr)
        self.assertFalse(self.site.sim.sent("01 03 0E 04 B0"), "1200 was sent")
        self.assertEqual(self.site.sim.count("11"), power_sets + 1, "the refused power setting was sent once")
        self.assertIn("noAccess", self.set(FREQUENCY, "u", 990, community="public").stderr)
        links = {n: len(self.trapd.received(f"{ROOT}.2.{n}")) for n in (3, 4)}
        self.site.sim.control("hangup 6000")
        self.assertTrue(wait_for(lambda: self.site.status().get("link") == "down", 15, 0.2))
        self.assertIn("Reason: resourceUnavailable", self.set(FREQUENCY, "u", 990).stderr)
        self.assertEqual(self.snmpd.values("snmpget", [scalar(1)])[scalar(1)], ("INTEGER", "2"))
        self.assertTrue(wait_for(lambda: self.site.status().get("link") == "up", 20, 0.2))
        for n, name in [(3, "talvexLinkDown"), (4, "talvexLinkUp")]:
            self.assertTrue(wait_for(lambda: len(self.trapd.received(f"{ROOT}.2.{n}")) == links[n] + 1, 5), name)

    def test_an_swr_alarm_sends_one_raised_and_one_cleared(self):
        self.assertEqual(self.site.request("PUT", "/api/v1/settings", {"transmitter": "on"}, "operator")[0], 200)
        def swr(n):
            return [t for t in self.trapd.received(f"{ROOT}.2.{n}") if '"swr"' in t]

        self.site.sim.control("set swr 3.0")
        self.assertTrue(wait_for(lambda: swr(1), 10), "no talvexAlarmRaised:\n" + self.site.service_log())
        self.site.sim.control("clear swr")
        self.assertTrue(wait_for(lambda: swr(2), 10), "no talvexAlarmCleared")
        time.sleep(1.5)  # a second one would be in by now
        self.assertEqual(len(swr(1)), 1)
        self.assertEqual(len(swr(2)), 1)
        self.assertIn(f'{OBJECTS}.21.1.5.1 = STRING: "3.0"', swr(1)[0])
        self.site.request("PUT", "/api/v1/settings", {"transmitter": "standby"}, "operator")

    def test_snmpd_restarted_gets_the_values_back_without_restarting_talvexd(self):
        service = self.site.service.pid
        self.snmpd.kill()
        self.snmpd.start()
        started = time.monotonic()
        back = wait_for(lambda: "Gauge32" in self.snmpd.client("snmpget", [FREQUENCY], timeout=0.3).stdout, 15, 0.2)
        self.assertTrue(back, f"not back {time.monotonic() - started:.1f} s after snmpd's restart")
        self.assertEqual(self.site.service.pid, service)
        self.assertIsNone(self.site.service.poll())


if __name__ == "__main__":
    unittest.main()
