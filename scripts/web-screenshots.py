#!/usr/bin/python3
"""Takes the web page's screenshots for docs/: at 1280 x 800 and at 360 x 740,
against talvexd and the simulated transmitter, on air with an SWR alarm up.
A week of readings is written into the site database first, so that the
charts have something to draw.

Usage: scripts/web-screenshots.py BUILD_DIR OUT_DIR
"""

import math
import os
import random
import sqlite3
import sys
import time

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path[:0] = [os.path.join(root, "tests", "support"), os.path.join(root, "tests", "web")]

build, out = sys.argv[1], sys.argv[2]
os.environ.setdefault("TALVEXD", os.path.join(build, "talvexd", "talvexd"))
os.environ.setdefault("TALVEX_SIM", os.path.join(build, "sim", "talvex-sim"))
os.environ.setdefault("TALVEX_WEB", os.path.join(root, "web"))
os.environ.setdefault("TALVEX_JAVASCRIPT", "/usr/share/javascript")

import talvex_page  # noqa: E402
import talvex_site  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.support.ui import WebDriverWait  # noqa: E402


def seed_history(database):
    """A week of readings a minute apart: a transmitter on air at 9.8 W
    whose room warms by day."""
    now = int(time.time())
    rows = []
    rng = random.Random(7)
    for t in range(now - 7 * 86400, now - 60, 60):
        day = math.sin((t % 86400) / 86400 * 2 * math.pi - math.pi / 2)
        rows.append((t * 1000, 98 + rng.randint(-2, 1), 12 + rng.randint(-1, 1) + (3 if now - t < 1200 else 0),
                     round(29 + 3 * day + rng.uniform(-0.7, 0.7)), rng.randint(90, 230), 100, 981, 7, 15))
    with sqlite3.connect(database, timeout=10) as db:
        db.executemany("INSERT OR IGNORE INTO readings VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)", rows)


site = talvex_site.Site(extra="""[notify]
site = "Hilltop FM"
[alarms.swr]
threshold = 2.0
delay = 1
[alarms.silence]
enabled = false
""")
try:
    seed_history(os.path.join(site.dir, "talvex.db"))
    for body in ({"frequency_mhz": 98.1}, {"power_setting_w": 10.0}, {"transmitter": "on"}):
        assert site.request("PUT", "/api/v1/settings", body, "operator")[0] == 200
    site.sim.control("set swr 2.4")
    talvex_site.wait_for(lambda: site.request("GET", "/api/v1/alarms")[1]["alarms"], 10)
    for width, height in ((1280, 800), (360, 740)):
        driver = talvex_page.browser(width, height)
        try:
            talvex_page.log_in(driver, site, "operator")
            wait = WebDriverWait(driver, 10)
            wait.until(lambda d: d.find_elements(By.CSS_SELECTOR, "#alarm-list li[data-alarm=swr]"))
            wait.until(lambda d: d.execute_script("return !!window.Chart"))
            time.sleep(1.5)  # the charts drawn, the level moving
            path = os.path.join(out, f"web-page-{width}.png")
            driver.save_screenshot(path)
            print(path)
        finally:
            driver.quit()
finally:
    site.close()
