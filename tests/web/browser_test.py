"""The web page in a real browser (Debian's Chromium, headless, through
chromedriver), against talvexd and the simulated transmitter."""

import time
import unittest

from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support import expected_conditions as ec
from selenium.webdriver.support.ui import WebDriverWait

import talvex_page
from talvex_page import browser, log_in
from talvex_site import Site, wait_for

# Fast alarms, so that a test sees one raised in seconds.
ALARMS = """[alarms.swr]
threshold = 2.0
delay = 1
clear_delay = 2
[alarms.silence]
enabled = false
"""


def text_of(driver, element_id):
    return driver.find_element(By.ID, element_id).text


class PageTest(unittest.TestCase):
    faults = ()

    @classmethod
    def setUpClass(cls):
        cls.site = Site(faults=cls.faults, extra=ALARMS)

    @classmethod
    def tearDownClass(cls):
        cls.site.close()

    def setUp(self):
        self.driver = browser()
        self.wait = WebDriverWait(self.driver, 10)

    def tearDown(self):
        errors = talvex_page.errors_in_console(self.driver)
        self.driver.quit()
        self.assertEqual(errors, [], "the page's console")


class Operating(PageTest):
    def test_an_operator_tunes_only_after_confirming(self):
        self.assertEqual(self.site.request("PUT", "/api/v1/settings", {"frequency_mhz": 98.5}, "operator")[0], 200)
        log_in(self.driver, self.site, "operator")
        self.wait.until(lambda d: text_of(d, "r-frequency") == "98.5")
        frequency = self.driver.find_element(By.ID, "c-frequency")
        for answer in ("Cancel", "Tune"):
            frequency.clear()
            frequency.send_keys("100.0")
            self.driver.find_element(By.ID, "c-tune").click()
            dialog = self.wait.until(ec.visibility_of_element_located((By.ID, "confirm")))
            self.assertEqual(text_of(self.driver, "confirm-title"), "Tune to 100.0 MHz?")
            dialog.find_element(By.XPATH, f".//button[text()='{answer}']").click()
            if answer == "Cancel":
                time.sleep(0.5)
                self.assertFalse(self.site.sim.sent("01 03 0E 03 E8"), "sent without a confirmation")
                self.assertEqual(frequency.get_attribute("value"), "98.5", "put back to the accepted value")
        self.assertTrue(wait_for(lambda: self.site.sim.sent("01 03 0E 03 E8"), 5))
        sent = time.monotonic()
        self.wait.until(lambda d: text_of(d, "r-frequency") == "100.0")
        self.assertLess(time.monotonic() - sent, 1.5, "shown within a status cycle")

    def test_a_viewer_sees_every_control_disabled_and_the_api_refuses_the_viewer(self):
        log_in(self.driver, self.site, "viewer")
        controls = self.driver.find_elements(By.CSS_SELECTOR, "#settings input, #settings button")
        self.assertGreaterEqual(len(controls), 10)
        self.assertEqual([c.get_attribute("id") for c in controls if c.is_enabled()], [])
        self.assertIn("viewer", text_of(self.driver, "viewer-note"))
        self.assertEqual(self.driver.find_elements(By.CSS_SELECTOR, "#alarm-list button"), [])
        cookie = "; ".join(f"{c['name']}={c['value']}" for c in self.driver.get_cookies())
        code, body = self.site.request("PUT", "/api/v1/settings", {"frequency_mhz": 100.0}, cookie=cookie,
                                       origin=self.site.url)
        self.assertEqual(code, 403, body)
        self.assertIn("viewer", body["error"])

    def test_an_swr_alarm_appears_is_acknowledged_and_both_are_logged(self):
        # Read while on air only.
        self.assertEqual(self.site.request("PUT", "/api/v1/settings", {"transmitter": "on"}, "operator")[0], 200)
        log_in(self.driver, self.site, "operator")
        self.site.sim.control("set swr 3.0")
        try:
            item = self.wait.until(ec.visibility_of_element_located((By.CSS_SELECTOR, "#alarm-list li[data-alarm=swr]")))
            self.assertIn("critical", item.text.lower())
            item.find_element(By.TAG_NAME, "button").click()
            self.wait.until(lambda d: "acknowledged by operator" in text_of(d, "alarm-list"))
            self.wait.until(lambda d: "swr raised: 3.0 over 2.0" in text_of(d, "log-rows"))
            self.wait.until(lambda d: "acknowledged swr" in text_of(d, "log-rows"))
            kinds = [e.text for e in self.driver.find_elements(By.CSS_SELECTOR, "#log-rows .kind")]
            self.assertIn("Alarm raised", kinds)
            self.assertIn("Acknowledged", kinds)
        finally:
            self.site.sim.control("clear swr")
        self.wait.until(lambda d: d.find_elements(By.CSS_SELECTOR, "#alarm-list li[data-alarm=swr]") == [])

    def test_a_hang_up_shows_link_down_and_greyed_readings_until_the_line_is_back(self):
        log_in(self.driver, self.site, "operator")
        self.site.sim.control("hangup 4000")
        self.wait.until(lambda d: text_of(d, "link").lower() == "link down")
        self.assertIn("stale", self.driver.find_element(By.ID, "readings").get_attribute("class"))
        self.assertIn("Link down", text_of(self.driver, "stale"))
        self.assertFalse(self.driver.find_element(By.ID, "c-tune").is_enabled())
        WebDriverWait(self.driver, 20).until(lambda d: text_of(d, "link").lower() == "link up")
        self.wait.until(lambda d: "stale" not in d.find_element(By.ID, "readings").get_attribute("class"))
        self.assertFalse(self.driver.find_element(By.ID, "stale").is_displayed())

    def test_the_stream_comes_back_by_itself_after_a_restart(self):
        log_in(self.driver, self.site, "operator")
        self.site.stop_service()
        self.wait.until(lambda d: text_of(d, "link").lower() == "service unreachable")
        self.site.start_service()
        WebDriverWait(self.driver, 20).until(lambda d: text_of(d, "link").lower() == "link up")
        self.assertTrue(self.driver.find_element(By.ID, "main").is_displayed(), "still logged in")


class Refusing(PageTest):
    faults = ("refuse@11",)  # the transmitter refuses every power setting

    def test_a_refused_change_says_why_and_puts_the_control_back(self):
        log_in(self.driver, self.site, "operator")
        power = self.driver.find_element(By.ID, "c-power")
        accepted = power.get_attribute("value")
        power.send_keys(Keys.ARROW_RIGHT)
        self.wait.until(ec.visibility_of_element_located((By.ID, "notice")))
        self.assertIn("Set Pwr Fail", text_of(self.driver, "notice-text"))
        self.wait.until(lambda d: power.get_attribute("value") == accepted)
        self.assertEqual(self.site.sim.count("11"), 1, "one change for one key press")


if __name__ == "__main__":
    unittest.main()
