"""The editor page in Debian's chromium, headless, driven by selenium: search, filters, checks
as a person types, Apply, Reset and locks, by mouse and by keyboard alone; changes made
elsewhere appearing without a reload; axe-core finds no serious or critical accessibility
fault; screenshots at two sizes for a person to look at."""
import json
import os
import re
import shutil
import tempfile
import unittest

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

from editor_process import EditorProcess, refuse_without_setup

OUTPUT = os.environ.get("EDITOR_OUTPUT_DIR", os.getcwd())
AXE = os.environ.get("AXE_CORE", "")
WIDE = (1366, 900)
NARROW = (390, 844)


def start_browser(size):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    profile = tempfile.mkdtemp(prefix="kvrn-editor-chromium-")
    for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--user-data-dir=" + profile, "--window-size=%d,%d" % size):
        options.add_argument(flag)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    # The page's viewport at exactly that size, as a phone or a laptop shows it.
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
        "width": size[0], "height": size[1], "deviceScaleFactor": 1, "mobile": size[0] < 600})
    return driver, profile


def wait_until_live(driver):
    """Waits until the page's stream of changes is open, so that no later change is missed."""
    WebDriverWait(driver, 20).until(
        lambda d: d.find_element(By.ID, "live-state").get_attribute("data-state") == "on")


def open_tab(driver, application, label):
    """Opens a tab of the tree by mouse, at either width."""
    toggle = driver.find_element(By.ID, "tree-toggle")
    if toggle.is_displayed():
        toggle.click()
    button = driver.find_element(By.XPATH, "//li[@class='application']/button[.='%s']" % application)
    if button.get_attribute("aria-expanded") != "true":
        button.click()
    driver.find_element(By.CSS_SELECTOR, "button[aria-label='%s']" % label).click()


class EditorPage(unittest.TestCase):
    size = WIDE

    def setUp(self):
        refuse_without_setup()
        self.editor = EditorProcess()
        self.addCleanup(self.editor.stop)
        self.driver, profile = start_browser(self.size)
        self.addCleanup(shutil.rmtree, profile, True)
        self.addCleanup(self.driver.quit)
        self.driver.get(self.editor.url)
        self.wait_for(lambda d: d.find_elements(By.CSS_SELECTOR, "section.pref"))
        wait_until_live(self.driver)

    # ---- helpers ---------------------------------------------------------------------------

    def wait_for(self, condition, timeout=20):
        return WebDriverWait(self.driver, timeout).until(condition)

    def by_id(self, name, part):
        return self.driver.find_element(By.ID, "p-%s-%s" % (name, part))

    def text_of(self, name, part):
        return self.by_id(name, part).text

    def wait_text(self, name, part, expected):
        self.wait_for(lambda d: expected in self.text_of(name, part))

    def outcome(self):
        return self.wait_for(lambda d: d.find_element(By.ID, "outcome").text)

    def active_id(self):
        return self.driver.execute_script("return document.activeElement && document.activeElement.id")

    def tab_to(self, element_id, limit=1500):
        """Presses Tab until the element has the focus; fails when it never gets it."""
        for _ in range(limit):
            if self.active_id() == element_id:
                return
            ActionChains(self.driver).send_keys(Keys.TAB).perform()
        self.fail("Tab never reached " + element_id)

    def keys(self, *keys):
        ActionChains(self.driver).send_keys(*keys).perform()

    def rows(self):
        return [row.get_attribute("id")[2:-4] for row in
                self.driver.find_elements(By.CSS_SELECTOR, "section.pref")]

    def search(self, text):
        search = self.driver.find_element(By.ID, "search")
        search.clear()
        search.send_keys(text)

    def set_elsewhere(self, *args):
        run = self.editor.tool(*args)
        self.assertEqual(run.returncode, 0, run.stderr)

    def saved_value(self, name):
        found = re.search(rb'name="%s" value="([^"]*)"' % name.encode(), self.editor.read_value_file(3))
        return found.group(1).decode() if found else None


class MouseAndKeyboard(EditorPage):
    def test_search_filter_check_apply_reset_and_locks_by_mouse(self):
        driver = self.driver
        search = driver.find_element(By.ID, "search")
        search.send_keys("minutes autosave")
        self.assertEqual(self.rows(), ["Gateway_Autosave_Interval"])
        search.clear()
        search.send_keys("x")
        search.send_keys(Keys.BACKSPACE)
        driver.find_element(By.ID, "only-modified").click()
        modified = self.rows()
        self.assertIn("Gateway_Autosave_Interval", modified)
        self.assertNotIn("Drafting_Standard_Default", modified)
        driver.find_element(By.ID, "only-modified").click()
        driver.find_element(By.ID, "only-locked").click()
        self.assertIn("Drafting_Standard_Default", self.rows())
        driver.find_element(By.ID, "only-locked").click()

        # A locked preference cannot be changed and says who locked it and why.
        search.send_keys("Drafting_Standard_Default")
        self.assertFalse(self.by_id("Drafting_Standard_Default", "field").is_enabled())
        self.assertIn("Locked at site level: “Company drafting standard",
                      self.text_of("Drafting_Standard_Default", "lock"))

        # Outside its range: the library's reason beside the field, and nothing saved.
        before = self.editor.read_value_file(3)
        search.clear()
        search.send_keys("Gateway_Autosave_Interval")
        field = self.by_id("Gateway_Autosave_Interval", "field")
        field.clear()
        field.send_keys("500")
        self.wait_text("Gateway_Autosave_Interval", "reason", "500 is outside [>=1 <=120]")
        self.assertEqual(field.get_attribute("aria-invalid"), "true")
        driver.find_element(By.ID, "apply").click()
        self.assertIn("Gateway_Autosave_Interval: 500 is outside [>=1 <=120]", self.outcome())
        self.assertEqual(self.editor.read_value_file(3), before)

        # Within its range, an option menu and a colour, applied together.
        field = self.by_id("Gateway_Autosave_Interval", "field")
        field.clear()
        field.send_keys("7")
        self.wait_for(lambda d: self.text_of("Gateway_Autosave_Interval", "reason") == "")
        search.clear()
        search.send_keys("Visualization_Shading_Mode")
        menu = self.by_id("Visualization_Shading_Mode", "field")
        menu.find_element(By.XPATH, "option[.='Hidden Line']").click()
        search.clear()
        search.send_keys("Collaboration_Markup_Color")
        self.by_id("Collaboration_Markup_Color", "field").find_element(
            By.CSS_SELECTOR, "[aria-label^='colour 42 ']").click()
        self.assertIn("3 preferences changed", driver.find_element(By.ID, "pending").text)
        driver.find_element(By.ID, "apply").click()
        self.assertIn("Saved in " + self.editor.value_file(3), self.outcome())
        self.assertEqual(self.saved_value("Gateway_Autosave_Interval"), "7")
        self.assertEqual(self.saved_value("Visualization_Shading_Mode"), "4")
        self.assertEqual(self.saved_value("Collaboration_Markup_Color"), "42")
        self.assertEqual(self.editor.get("Gateway_Autosave_Interval"), "7")
        self.assertEqual(self.editor.get("Collaboration_Markup_Color"), "42")

        # Reset: the user level's entry goes and the group's value is in force again.
        search.clear()
        search.send_keys("Gateway_Autosave_Interval")
        self.by_id("Gateway_Autosave_Interval", "reset").click()
        driver.find_element(By.ID, "apply").click()
        self.wait_for(lambda d: "reset" in d.find_element(By.ID, "outcome").text)
        self.assertIsNone(self.saved_value("Gateway_Autosave_Interval"))
        self.assertEqual(self.editor.get("Gateway_Autosave_Interval"), "20")
        self.assertIn("In force here: 20 from the group level",
                      self.by_id("Gateway_Autosave_Interval", "row").text)

    def test_the_same_path_by_keyboard_alone(self):
        driver = self.driver
        driver.find_element(By.TAG_NAME, "body").click()
        self.tab_to("search")
        self.keys("Gateway_Autosave_Interval")
        self.tab_to("p-Gateway_Autosave_Interval-field")
        # Tab selects the field's text, so typing replaces it.
        self.keys("500")
        self.wait_text("Gateway_Autosave_Interval", "reason", "500 is outside")
        self.keys(Keys.BACKSPACE * 3, "9")
        self.wait_for(lambda d: self.text_of("Gateway_Autosave_Interval", "reason") == "")
        self.tab_to("p-Gateway_Autosave_Interval-comment")
        self.keys("nine is enough")

        # The tree: down to Visualization by arrows, open it, reach the Shading tab.
        self.tab_to("search")
        self.keys(Keys.BACKSPACE * len("Gateway_Autosave_Interval"))
        self.tab_to(driver.find_element(By.CSS_SELECTOR, "#tree button").get_attribute("id") or "")
        self.assertTrue(self.driver.execute_script(
            "return document.activeElement.closest('#tree') !== null"))
        for _ in range(40):
            if driver.switch_to.active_element.text == "Visualization":
                break
            self.keys(Keys.ARROW_DOWN)
        self.assertEqual(driver.switch_to.active_element.text, "Visualization")
        self.keys(Keys.ARROW_RIGHT)
        for _ in range(20):
            if driver.switch_to.active_element.get_attribute("aria-label") == "Views, Shading":
                break
            self.keys(Keys.ARROW_DOWN)
        self.keys(Keys.ENTER)
        self.tab_to("p-Visualization_Shading_Mode-field")
        self.keys(Keys.ARROW_DOWN)
        self.wait_for(lambda d: "2 preferences changed" in d.find_element(By.ID, "pending").text)

        # A colour by arrow keys among the swatches.
        self.tab_to("search")
        self.keys("Collaboration_Markup_Color")
        for _ in range(60):
            self.keys(Keys.TAB)
            if driver.execute_script("return document.activeElement.getAttribute('role')") == "radio":
                break
        self.keys(Keys.ARROW_RIGHT)
        self.wait_for(lambda d: "3 preferences changed" in d.find_element(By.ID, "pending").text)

        self.tab_to("apply")
        self.keys(Keys.ENTER)
        self.assertIn("Saved in", self.outcome())
        self.assertEqual(self.saved_value("Gateway_Autosave_Interval"), "9")
        self.assertEqual(self.saved_value("Visualization_Shading_Mode"), "2")
        self.assertEqual(self.saved_value("Collaboration_Markup_Color"), "206")
        self.assertIn(b"<UserComment>nine is enough</UserComment>", self.editor.read_value_file(3))
        self.assertEqual(self.editor.get("Collaboration_Markup_Color"), "206")

    def test_an_apply_keeps_what_another_editor_saved_meanwhile(self):
        other = self.editor.tool("set", "Gateway_Recent_Files_Count", "15", "--level", "user")
        self.assertEqual(other.returncode, 0, other.stderr)
        search = self.driver.find_element(By.ID, "search")
        search.send_keys("Gateway_Autosave_Interval")
        field = self.by_id("Gateway_Autosave_Interval", "field")
        field.clear()
        field.send_keys("8")
        self.driver.find_element(By.ID, "apply").click()
        self.assertIn("Saved in", self.outcome())
        self.assertEqual(self.saved_value("Gateway_Autosave_Interval"), "8")
        self.assertEqual(self.saved_value("Gateway_Recent_Files_Count"), "15")


class ChangesMadeElsewhere(EditorPage):
    def test_appear_without_reload(self):
        driver = self.driver
        driver.execute_script("window.notReloaded = true")
        self.search("Gateway_Autosave_Interval")
        self.set_elsewhere("set", "Gateway_Autosave_Interval", "9", "--level", "user")
        self.wait_for(lambda d: self.by_id("Gateway_Autosave_Interval", "field").get_attribute("value") == "9")
        row = self.by_id("Gateway_Autosave_Interval", "row").text
        self.assertIn("In force here: 9 from the user level", row)
        self.assertIn("changed elsewhere at", row)
        self.assertIn("changed by another program: now 9", driver.find_element(By.ID, "live").text)

        # A lock that a site administrator adds takes the field away, with who locked it.
        self.search("Gateway_Recent_Files_Count")
        self.set_elsewhere("lock", "Gateway_Recent_Files_Count", "--level", "site")
        self.wait_text("Gateway_Recent_Files_Count", "lock", "Locked at site level")
        self.assertFalse(self.by_id("Gateway_Recent_Files_Count", "field").is_enabled())

        # The site level unlocked by default: a batch too large to list, so the page reads all.
        self.search("Gateway_Autosave_Enabled")
        self.assertFalse(self.by_id("Gateway_Autosave_Enabled", "field").is_enabled())
        self.set_elsewhere("level-lock", "unlocked", "--level", "site")
        self.wait_for(lambda d: self.by_id("Gateway_Autosave_Enabled", "field").is_enabled())
        self.assertTrue(driver.execute_script("return window.notReloaded === true"))

    def test_a_field_being_edited_keeps_what_was_typed_until_the_person_chooses(self):
        notice = lambda: self.text_of("Gateway_Autosave_Interval", "notice")
        self.search("Gateway_Autosave_Interval")
        for choice, typed, elsewhere, shown in [("take-new", "9", "30", "30"),
                                                ("keep-mine", "11", "40", "11")]:
            with self.subTest(choice):
                field = self.by_id("Gateway_Autosave_Interval", "field")
                field.clear()
                field.send_keys(typed)
                self.set_elsewhere("set", "Gateway_Autosave_Interval", elsewhere, "--level", "user")
                self.wait_for(lambda d: d.find_elements(By.ID, "p-Gateway_Autosave_Interval-notice"))
                self.assertIn("Changed meanwhile by another program: now %s from the user level" % elsewhere,
                              notice())
                self.assertEqual(self.by_id("Gateway_Autosave_Interval", "field").get_attribute("value"), typed)
                self.assertEqual(self.active_id(), "p-Gateway_Autosave_Interval-field")
                self.assertIn("1 changed meanwhile outside this page",
                              self.driver.find_element(By.ID, "pending").text)
                self.by_id("Gateway_Autosave_Interval", choice).click()
                self.assertFalse(self.driver.find_elements(By.ID, "p-Gateway_Autosave_Interval-notice"))
                self.assertEqual(self.by_id("Gateway_Autosave_Interval", "field").get_attribute("value"), shown)
        self.driver.find_element(By.ID, "apply").click()
        self.assertIn("Saved in", self.outcome())
        self.assertEqual(self.editor.get("Gateway_Autosave_Interval"), "11")

    def test_an_apply_reaches_the_other_pages_but_not_its_own(self):
        driver = self.driver
        applying = driver.current_window_handle
        driver.switch_to.new_window("tab")
        driver.get(self.editor.url)
        self.wait_for(lambda d: d.find_elements(By.CSS_SELECTOR, "section.pref"))
        wait_until_live(driver)
        other = driver.current_window_handle
        self.search("Gateway_Autosave_Interval")

        driver.switch_to.window(applying)
        self.search("Gateway_Autosave_Interval")
        field = self.by_id("Gateway_Autosave_Interval", "field")
        field.clear()
        field.send_keys("8")
        driver.find_element(By.ID, "apply").click()
        self.assertIn("Saved in", self.outcome())

        driver.switch_to.window(other)
        self.wait_for(lambda d: self.by_id("Gateway_Autosave_Interval", "field").get_attribute("value") == "8")
        self.assertIn("changed on another page of this editor", driver.find_element(By.ID, "live").text)

        # Once a later change from elsewhere has reached the applying page, everything before it
        # has: its own Apply was not among the changes from elsewhere.
        driver.switch_to.window(applying)
        self.set_elsewhere("set", "Gateway_Recent_Files_Count", "15", "--level", "user")
        self.wait_for(lambda d: "Recent" in d.find_element(By.ID, "live").text)
        self.assertNotIn("changed elsewhere", self.by_id("Gateway_Autosave_Interval", "row").text)


class LookAndAccessibility(unittest.TestCase):
    def test_screenshots_and_axe_at_both_sizes(self):
        refuse_without_setup()
        if not os.path.isfile(AXE):
            self.fail("axe-core is not installed at %s: run scripts/install-deps" % AXE)
        os.makedirs(OUTPUT, exist_ok=True)
        with open(AXE) as file:
            axe = file.read()
        findings = {}
        for size in (WIDE, NARROW):
            editor = EditorProcess()
            self.addCleanup(editor.stop)
            driver, profile = start_browser(size)
            self.addCleanup(shutil.rmtree, profile, True)
            self.addCleanup(driver.quit)
            driver.get(editor.url)
            WebDriverWait(driver, 10).until(lambda d: d.find_elements(By.CSS_SELECTOR, "section.pref"))
            wait_until_live(driver)
            # A change waiting to be applied and a refused value, and a change made elsewhere
            # underneath it, so that all are seen.
            open_tab(driver, "Gateway", "General, Autosave")
            field = driver.find_element(By.ID, "p-Gateway_Autosave_Interval-field")
            field.clear()
            field.send_keys("500")
            WebDriverWait(driver, 10).until(
                lambda d: d.find_element(By.ID, "p-Gateway_Autosave_Interval-reason").text)
            editor.tool("set", "Gateway_Autosave_Interval", "9", "--level", "user")
            WebDriverWait(driver, 20).until(
                lambda d: d.find_elements(By.ID, "p-Gateway_Autosave_Interval-notice"))
            driver.execute_script("window.scrollTo(0, 0)")
            name = "editor-%dx%d.png" % size
            driver.save_screenshot(os.path.join(OUTPUT, name))
            driver.execute_script(axe)
            result = driver.execute_async_script(
                "const done = arguments[arguments.length - 1];"
                "axe.run(document, {runOnly: ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa', 'best-practice']})"
                ".then((r) => done(r.violations.map((v) => ({id: v.id, impact: v.impact, nodes: v.nodes.length}))));")
            findings["%dx%d" % size] = result
        with open(os.path.join(OUTPUT, "axe-findings.json"), "w") as file:
            json.dump(findings, file, indent=2)
        serious = [(size, v) for size, found in findings.items() for v in found
                   if v["impact"] in ("serious", "critical")]
        self.assertEqual(serious, [])


if __name__ == "__main__":
    unittest.main()
