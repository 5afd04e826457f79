"""A headless Chromium to look at a site's web page with: what the browser
tests, the screenshots and the browser benchmarks share."""

import shutil

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support import expected_conditions as ec
from selenium.webdriver.support.ui import WebDriverWait

from talvex_site import PASSWORDS


def browser(width=1280, height=800):
    """Debian's Chromium, headless, at `width` x `height` CSS pixels."""
    options = webdriver.ChromeOptions()
    options.binary_location = shutil.which("chromium") or "/usr/bin/chromium"
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                     "--no-first-run", "--disable-extensions", "--force-device-scale-factor=1",
                     "--enable-precise-memory-info", f"--window-size={width},{height}"):
        options.add_argument(argument)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    service = Service(shutil.which("chromedriver") or "/usr/bin/chromedriver")
    driver = webdriver.Chrome(service=service, options=options)
    driver.set_window_size(width, height)
    # The window's outer size includes no frame when headless; the page's
    # viewport is what the layout is judged at.
    inner = driver.execute_script("return [window.innerWidth, window.innerHeight]")
    if inner != [width, height]:
        driver.set_window_size(2 * width - inner[0], 2 * height - inner[1])
    return driver


def log_in(driver, site, user):
    driver.get(site.url + "/")
    wait = WebDriverWait(driver, 10)
    wait.until(ec.visibility_of_element_located((By.ID, "login-user"))).send_keys(user)
    driver.find_element(By.ID, "login-password").send_keys(PASSWORDS[user])
    driver.find_element(By.CSS_SELECTOR, "#login-form button[type=submit]").click()
    wait.until(ec.visibility_of_element_located((By.ID, "main")))
    wait.until(lambda d: d.find_element(By.ID, "r-frequency").text not in ("", "---.-"))


def errors_in_console(driver):
    """The page's own errors; the browser's notes of failed requests (a
    refused change, the service away) are not."""
    return [entry["message"] for entry in driver.get_log("browser")
            if entry["level"] == "SEVERE" and "Failed to load resource" not in entry["message"]]
