#!/usr/bin/python3
"""The web page's figures, measured in Debian's Chromium (headless) against
talvexd and the simulated transmitter on the loopback:

  load     what the page loads before it shows readings (bytes on the wire,
           compressed) and when they are shown after navigation: in a new
           browser, then with its cache emptied, then with a warm cache
  latency  how long a reading takes from the end of its exchange on the
           line to the page (median, 95th percentile, over 30 s)
  heap     the page's JavaScript heap, after a garbage collection, at the
           start and after MINUTES in a background tab

Usage: bench/web-perf.py BUILD_DIR [load|latency|heap [MINUTES]]...
"""

import json
import os
import statistics
import sys
import time
import urllib.request

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path[:0] = [os.path.join(root, "tests", "support"), os.path.join(root, "tests", "web")]
build = sys.argv[1]
os.environ.setdefault("TALVEXD", os.path.join(build, "talvexd", "talvexd"))
os.environ.setdefault("TALVEX_SIM", os.path.join(build, "sim", "talvex-sim"))
os.environ.setdefault("TALVEX_WEB", os.path.join(root, "web"))
os.environ.setdefault("TALVEX_JAVASCRIPT", "/usr/share/javascript")

import talvex_page  # noqa: E402
import talvex_site  # noqa: E402
from selenium.webdriver.support.ui import WebDriverWait  # noqa: E402

SHOWN = "return window.talvexPage && window.talvexPage.firstReadingsMs"
# Every resource fetched before the readings were shown, the stream aside.
LOADED = """
const shown = window.talvexPage.firstReadingsMs;
const nav = performance.getEntriesByType('navigation')[0];
const before = performance.getEntriesByType('resource')
  .filter((e) => e.startTime < shown && !e.name.includes('/api/v1/events'));
return {shown, count: before.length + 1,
        bytes: nav.transferSize + before.reduce((sum, e) => sum + e.transferSize, 0),
        decoded: nav.decodedBodySize + before.reduce((sum, e) => sum + e.decodedBodySize, 0)};
"""


def session_cookie(site):
    req = urllib.request.Request(site.url + "/api/v1/session", method="POST",
                                 data=json.dumps({"user": "viewer", "password": "pw-viewer"}).encode(),
                                 headers={"Content-Type": "application/json"})
    with urllib.request.urlopen(req) as response:
        return response.headers["Set-Cookie"].split(";")[0].split("=", 1)


def open_logged_in(site):
    driver = talvex_page.browser()
    name, value = session_cookie(site)
    driver.get(site.url + "/favicon.svg")
    driver.add_cookie({"name": name, "value": value, "path": "/"})
    return driver


def load(site):
    driver = open_logged_in(site)
    try:
        # The first load in a new browser also pays for the browser's own
        # start; a visitor's browser is running already.
        for cache in ("new browser", "cold", "warm"):
            if cache == "cold":
                driver.execute_cdp_cmd("Network.clearBrowserCache", {})
            driver.get(site.url + "/")
            WebDriverWait(driver, 10).until(lambda d: d.execute_script(SHOWN))
            figures = driver.execute_script(LOADED)
            print(f"load ({cache}{'' if cache == 'new browser' else ' cache'}): readings shown {figures['shown']:.0f} ms after navigation; "
                  f"{figures['count']} requests before, {figures['bytes'] / 1024:.1f} KiB on the wire "
                  f"({figures['decoded'] / 1024:.1f} KiB uncompressed)")
            time.sleep(1)
    finally:
        driver.quit()


def latency(site):
    driver = open_logged_in(site)
    try:
        driver.get(site.url + "/")
        WebDriverWait(driver, 10).until(lambda d: d.execute_script(SHOWN))
        driver.execute_script("window.talvexPage.latenciesMs = []")
        time.sleep(30)
        values = sorted(driver.execute_script("return window.talvexPage.latenciesMs"))
        p95 = values[int(0.95 * (len(values) - 1))]
        print(f"latency: {len(values)} readings, median {statistics.median(values):.0f} ms, "
              f"95th percentile {p95} ms, longest {values[-1]} ms")
    finally:
        driver.quit()


def heap(site, minutes):
    driver = open_logged_in(site)
    try:
        driver.get(site.url + "/")
        WebDriverWait(driver, 10).until(lambda d: d.execute_script(SHOWN))
        page = driver.current_window_handle

        def used():
            driver.switch_to.window(page)
            driver.execute_cdp_cmd("HeapProfiler.collectGarbage", {})
            return driver.execute_cdp_cmd("Runtime.getHeapUsage", {})["usedSize"]

        time.sleep(5)
        start = used()
        driver.switch_to.new_window("tab")  # the page goes to the background
        other = driver.current_window_handle
        samples = [start]
        for _ in range(minutes):
            time.sleep(60)
            samples.append(used())
            driver.switch_to.window(other)
        print(f"heap: {start / 1e6:.2f} MB at the start, {samples[-1] / 1e6:.2f} MB after {minutes} min "
              f"in the background (growth {(samples[-1] - start) / 1e6:+.2f} MB; "
              f"highest {max(samples) / 1e6:.2f} MB)")
    finally:
        driver.quit()


site = talvex_site.Site()
try:
    assert site.request("PUT", "/api/v1/settings", {"transmitter": "on"}, "operator")[0] == 200
    args = sys.argv[2:] or ["load", "latency"]
    while args:
        what = args.pop(0)
        if what == "heap":
            heap(site, int(args.pop(0)) if args and args[0].isdigit() else 60)
        else:
            {"load": load, "latency": latency}[what](site)
finally:
    site.close()
