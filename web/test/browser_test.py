#!/usr/bin/env python3
"""The page in a real browser (headless Chromium through Selenium).

Runs every check twice: on the built page served on 127.0.0.1, and on the
page in one file (d88cut.html) opened straight from the disk as a file://
address, alone in a folder of its own.  Each time it opens each sample
image through the file input, and checks what the page shows and lets the
user download against the console programs run on the same bytes: the
inspection document byte for byte against `d88info --json`, and every cut
file and the zip's contents byte for byte against the cutting program run
in a folder of its own.  The samples include flux dumps: an SCP file, a
zipped KryoFlux set, and the set's stream files chosen together.  Opens a
zip of sample images too, against
`d88cut` on it, and one whose member is named as markup.  Also opens a
damaged image and files that are no image; the files of an MS-DOS disk
and a hard disk's partitions, as a tree, one by one and zipped, against
`d88cut`; the language switch; and saves screenshots of the page after a
cut (desktop and phone), of a zip's disks, of a disk's files and of the
maps of sectors of a damaged disk and of a worn disk's flux dump.

  browser_test.py --page build-web/web --one-file build-web/d88cut.html \
                  --images build/demo/images --tools build/tools --out build-web
"""
import argparse
import functools
import http.server
import io
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import zipfile

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select, WebDriverWait

SAMPLES = ["vorxcut", "abcut", "oabcut"]
# A cut or a load of the page takes well under a second; these bounds only
# catch a page that has become far slower.
MAX_LOAD_MS = 3000
MAX_CUT_MS = 1000


class Results:
    def __init__(self):
        self.passed = 0
        self.failed = 0
        self.where = ""  # which page the checks are made on

    def check(self, ok, what):
        if ok:
            self.passed += 1
        else:
            self.failed += 1
            print(f"FAIL ({self.where}): {what}", flush=True)
        return ok


def serve(folder):
    handler = functools.partial(QuietHandler, directory=folder)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


# Python's own static server, as the README tells users to run it.
class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def start_browser(profile, downloads):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in ["--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic",
                 "--no-first-run", "--disable-background-networking",
                 "--disable-component-update", "--disable-sync",
                 "--disable-dev-shm-usage", f"--user-data-dir={profile}",
                 "--window-size=1280,1000", "--lang=en-US"]:
        options.add_argument(flag)
    # English first, so that the page starts in English; the language
    # switch is checked by itself.
    options.add_experimental_option("prefs", {"intl.accept_languages": "en-US,en"})
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.execute_cdp_cmd("Browser.setDownloadBehavior",
                           {"behavior": "allow", "downloadPath": downloads})
    return driver


def run_native(program, args, cwd):
    done = subprocess.run([program, *args], cwd=cwd, capture_output=True, timeout=60)
    files = {}
    for name in os.listdir(cwd):
        with open(os.path.join(cwd, name), "rb") as f:
            files[name] = f.read()
    return done, files


def native_doc(tools, image):
    """What `d88info --json` says of `image`."""
    done = subprocess.run([os.path.join(tools, "d88info", "d88info"), "--json", image],
                          capture_output=True, check=True)
    return json.loads(done.stdout)


def disk_extent(doc, index, total):
    """Where disk `index` lies in the image: to the next disk, the last to the end."""
    disks = doc["disks"]
    start = disks[index]["offset"]
    end = disks[index + 1]["offset"] if index + 1 < len(disks) else total
    return start, end


class Page:
    def __init__(self, driver, url, downloads):
        self.driver = driver
        self.url = url
        self.downloads = downloads
        self.retries = 0

    def load(self):
        self.driver.get(self.url)
        WebDriverWait(self.driver, 30).until(
            lambda d: d.execute_script("return window.d88cut && window.d88cut.ready"))
        return self.driver.execute_script("return window.d88cut.loadMs")

    def open(self, path, *beside):
        # Several files are chosen at once as lines of one string; the
        # driver adds them to those chosen before, as no user's choice does.
        chooser = self.driver.find_element(By.ID, "file")
        self.driver.execute_script("arguments[0].value = ''", chooser)
        chooser.send_keys("\n".join((path,) + beside))
        WebDriverWait(self.driver, 30).until(lambda d: d.execute_script(
            "return !document.getElementById('image').hidden ||"
            " !document.getElementById('problem').hidden"))

    def offline(self, offline):
        self.driver.execute_cdp_cmd("Network.enable", {})
        self.driver.execute_cdp_cmd("Network.emulateNetworkConditions", {
            "offline": offline, "latency": 0, "downloadThroughput": -1, "uploadThroughput": -1})

    def shown(self, element_id):
        return self.driver.execute_script(
            f"return !document.getElementById('{element_id}').hidden")

    def text(self, element_id):
        return self.driver.find_element(By.ID, element_id).text

    def download(self, link_or_button, name):
        """Clicks something that downloads `name` and returns the bytes.

        Headless Chromium now and then drops one of many downloads started
        in quick succession; such a click is made once more, as a user
        would, and counted."""
        target = os.path.join(self.downloads, name)
        for attempt in range(2):
            if os.path.exists(target):
                os.remove(target)
            self.driver.execute_script("arguments[0].scrollIntoView({block:'center'})",
                                       link_or_button)
            link_or_button.click()
            deadline = time.time() + 5
            while time.time() < deadline:
                if self.finished(target):
                    with open(target, "rb") as f:
                        data = f.read()
                    os.remove(target)
                    return data
                time.sleep(0.02)
            self.retries += 1
        return None

    def finished(self, target):
        """Chromium puts an empty file in place before the bytes arrive
        (through a .crdownload file), so a download is done only when no
        partial file is left and the size holds still."""
        if not os.path.exists(target):
            return False
        size = os.path.getsize(target)
        time.sleep(0.05)
        partial = any(n.endswith(".crdownload") for n in os.listdir(self.downloads))
        return not partial and os.path.getsize(target) == size and size > 0

    def console_errors(self):
        return [e["message"] for e in self.driver.get_log("browser")
                if e["level"] in ("SEVERE",)]


def check_sample(page, results, tools, image, work, whole_program, beside=()):
    name = os.path.basename(image)
    program_of = {p: os.path.join(tools, p, p) for p in SAMPLES}
    with open(image, "rb") as f:
        image_bytes = f.read()

    load_ms = page.load()
    # Once loaded, the page needs nothing from the network.
    page.offline(True)
    page.open(image, *beside)
    results.check(page.shown("image"), f"{name}: the disk table is shown")

    # The page's document against the console's, run beside the image.
    native = subprocess.run([os.path.join(tools, "d88info", "d88info"), "--json", "--", name],
                            cwd=os.path.dirname(image), capture_output=True, timeout=60)
    page_json = page.driver.execute_script("return window.d88cut.json")
    results.check(page_json == native.stdout.decode("utf-8"),
                  f"{name}: the page's document equals d88info --json")
    doc = json.loads(native.stdout)

    rows = page.driver.find_elements(By.CSS_SELECTOR, "#disks tbody tr")
    results.check(len(rows) == len(doc["disks"]), f"{name}: one row per disk")
    whole_files = {}
    page_union = {}
    cut_ms = []
    for disk, row in zip(doc["disks"], rows):
        kinds = row.find_element(By.CSS_SELECTOR, "td[data-label='Recognised as']").text
        for r in disk["recognised"]:
            results.check(f"{r['program']} {r['number']}: {r['kind']}" in kinds,
                          f"{name} disk {disk['index']}: the table names {r['kind']}")
        if not disk["recognised"]:
            results.check("none" in kinds, f"{name} disk {disk['index']}: recognised by none")
        for r in disk["recognised"]:
            button = row.find_element(
                By.CSS_SELECTOR, f"button.cut-button[data-program='{r['program']}']")
            button.click()
            selector = f"[data-cut='{disk['index']}-{r['program']}']"
            WebDriverWait(page.driver, 30).until(
                lambda d: d.find_elements(By.CSS_SELECTOR, selector))
            cut_ms.append(page.driver.execute_script("return window.d88cut.cutMs"))
            section = page.driver.find_element(By.CSS_SELECTOR, selector)

            # The console program on that disk alone (the only disk of any
            # other container).
            one = image
            if doc["container"]["format"] == "D88":
                start, end = disk_extent(doc, disk["index"], len(image_bytes))
                one = os.path.join(work, f"{name}-{disk['index']}.d88")
                with open(one, "wb") as f:
                    f.write(image_bytes[start:end])
            else:
                results.check(len(doc["disks"]) == 1, f"{name}: one disk")
            folder = tempfile.mkdtemp(dir=work)
            done, expected = run_native(program_of[r["program"]], [one], folder)
            message = done.stderr.decode("cp932").strip()
            shown = "\n".join(p.text for p in section.find_elements(By.CSS_SELECTOR, ".message"))
            results.check(shown == message,
                          f"{name} disk {disk['index']}: the message shown is {message!r}"
                          f" (shown: {shown!r})")
            got = {}
            for link in section.find_elements(By.CSS_SELECTOR, ".files a"):
                got[link.text] = page.download(link, link.text)
            differ = sorted(n for n in set(got) | set(expected) if got.get(n) != expected.get(n))
            results.check(not differ,
                          f"{name} disk {disk['index']}: downloads equal {r['program']}'s files"
                          f" (these differ: {differ})")
            page_union.update(got)

    # The console program on the whole image writes the same files.
    folder = tempfile.mkdtemp(dir=work)
    _, whole_files = run_native(program_of[whole_program], [image], folder)
    results.check(page_union == whole_files,
                  f"{name}: the disks' files together equal a run on the whole image")
    # The download is named after the image, apart from an archive's name.
    zip_name = name.rsplit(".", 1)[0] + ("-cut.zip" if name.endswith(".zip") else ".zip")
    check_zip(page, results, name, whole_files, "after each disk's own cut", zip_name)
    errors = page.console_errors()
    results.check(not errors, f"{name}: no errors in the browser's console ({errors})")
    # Served, the page fetches only its own files; from the disk, nothing
    # but what it holds (its WebAssembly as a data: address).
    foreign = page.driver.execute_script(
        "return performance.getEntriesByType('resource').map(e => e.name)"
        ".filter(u => location.protocol === 'file:' ? !u.startsWith('data:')"
        "             : !u.startsWith(location.origin + '/'))")
    results.check(not foreign, f"{name}: the page fetched nothing from elsewhere ({foreign})")
    page.offline(False)
    # Once more from a fresh page, through the one button that cuts them all.
    if sum(1 for d in doc["disks"] if d["recognised"]) > 1:
        page.load()
        page.open(image, *beside)
        page.driver.find_element(By.ID, "cut-all").click()
        WebDriverWait(page.driver, 30).until(lambda d: page.shown("results"))
        check_zip(page, results, name, whole_files, "after cutting every disk at once", zip_name)
    return load_ms, cut_ms


def check_zip(page, results, name, expected, when, zip_name=None):
    zip_bytes = page.download(page.driver.find_element(By.ID, "zip"),
                              zip_name or name.rsplit(".", 1)[0] + ".zip")
    results.check(zip_bytes is not None, f"{name}: the zip downloads {when}")
    if zip_bytes is not None:
        with zipfile.ZipFile(io.BytesIO(zip_bytes)) as z:
            zipped = {n: z.read(n) for n in z.namelist()}
        results.check(zipped == expected, f"{name}: the zip holds exactly those files {when}")


def check_same_names(page, results, images, tools, work):
    """Two disks whose files have the same names: the zip keeps both."""
    source = os.path.join(images, "abcut.d88")
    with open(source, "rb") as f:
        data = f.read()
    doc = native_doc(tools, source)
    start, end = disk_extent(doc, 0, len(data))
    one = os.path.join(work, "disk-a.d88")
    with open(one, "wb") as f:
        f.write(data[start:end])
    _, files = run_native(os.path.join(tools, "abcut", "abcut"), [one], tempfile.mkdtemp(dir=work))
    path = os.path.join(work, "twice.d88")
    with open(path, "wb") as f:
        f.write(data[start:end] * 2)
    page.load()
    page.open(path)
    page.driver.find_element(By.ID, "cut-all").click()
    WebDriverWait(page.driver, 30).until(lambda d: page.shown("results"))
    expected = {f"disk{i}-abcut/{n}": b for i in (0, 1) for n, b in files.items()}
    check_zip(page, results, "twice.d88", expected, "with each disk in a folder of its own")


def check_archive(page, results, images, tools, work):
    """A zip of two games' images, one member named in Shift-JIS: the
    document as d88info's, members and each disk's member shown as text,
    and every disk's files as `d88cut` cuts them into its folders."""
    archive = os.path.join(images, "games.zip")
    native = subprocess.run([os.path.join(tools, "d88info", "d88info"), "--json", "--",
                             "games.zip"], cwd=images, capture_output=True, timeout=60)
    doc = json.loads(native.stdout)
    out = tempfile.mkdtemp(dir=work)
    subprocess.run([os.path.join(tools, "d88cut", "d88cut"), "-o", out, archive],
                   capture_output=True, check=True, timeout=60)
    page.load()
    page.open(archive)
    results.check(page.driver.execute_script("return window.d88cut.json")
                  == native.stdout.decode("utf-8"), "games.zip: the document equals d88info's")
    members = [li.find_element(By.CSS_SELECTOR, ".member-name").text
               for li in page.driver.find_elements(By.CSS_SELECTOR, "#image-members li")]
    results.check(members == [m["name"] for m in doc["archive"]["members"]]
                  and "ゲーム/はじめに.txt" in members,
                  f"games.zip: the members are listed by name ({members})")
    shown = [td.text for td in page.driver.find_elements(By.CSS_SELECTOR, "td[data-label='Member']")]
    results.check(shown == [d["member"] for d in doc["disks"]],
                  f"games.zip: each disk names its member ({shown})")
    if page.shots:
        page.driver.save_screenshot(os.path.join(page.out, "page-archive.png"))
    page.driver.find_element(By.ID, "cut-all").click()
    WebDriverWait(page.driver, 30).until(lambda d: page.shown("results"))
    expected = {}
    for disk in doc["disks"]:
        for r in disk["recognised"]:
            folder = os.path.join(out, f"disk{disk['index']:02d}-{r['program']}-{r['number']}")
            for name in os.listdir(folder):
                with open(os.path.join(folder, name), "rb") as f:
                    expected[f"disk{disk['index']}-{r['program']}/{name}"] = f.read()
    check_zip(page, results, "games.zip", expected, "as d88cut cuts its disks", "games-cut.zip")

    # A member named as markup is shown as the text it is.
    name = '<img src="x" onerror="window.named=1">.d88'
    path = os.path.join(work, "markup.zip")
    with zipfile.ZipFile(path, "w") as z, open(os.path.join(images, "abcut.d88"), "rb") as f:
        z.writestr(name, f.read())
    page.load()
    page.open(path)
    member = page.driver.find_element(By.CSS_SELECTOR, "#image-members .member-name").text
    results.check(member == name and not page.driver.find_elements(By.CSS_SELECTOR, "main img")
                  and page.driver.execute_script("return window.named === undefined"),
                  f"a member named as markup shows as text ({member!r})")


def check_forced(page, results, images, tools, work):
    """A kind forced onto a disk: the console program with a disk number.
    The full 2HD disk (every track formatted) taken for vorxcut's map disk."""
    image = os.path.join(images, "full-2hd.d88")
    done, expected = run_native(os.path.join(tools, "vorxcut", "vorxcut"), [image, "3"],
                                tempfile.mkdtemp(dir=work))
    page.load()
    page.open(image)
    row = page.driver.find_element(By.CSS_SELECTOR, "#disks tbody tr")
    row.find_element(By.CSS_SELECTOR, "details.force summary").click()
    Select(row.find_element(By.CSS_SELECTOR, "select.force-kind")).select_by_value("vorxcut 3")
    row.find_element(By.CSS_SELECTOR, "button.force-button").click()
    WebDriverWait(page.driver, 30).until(
        lambda d: d.find_elements(By.CSS_SELECTOR, "[data-cut='0-vorxcut'] .files a"))
    section = page.driver.find_element(By.CSS_SELECTOR, "[data-cut='0-vorxcut']")
    got = {a.text: page.download(a, a.text)
           for a in section.find_elements(By.CSS_SELECTOR, ".files a")}
    results.check(got == expected and len(expected) > 0,
                  "a disk taken for vorxcut kind 3 gives what `vorxcut IMAGE 3` cuts")
    message = section.find_element(By.CSS_SELECTOR, ".message").text
    results.check(message == done.stderr.decode("cp932").strip(),
                  f"the forced kind's message is shown ({message!r})")


def check_disk_name(page, results, images, work):
    """A disk named in Shift-JIS shows its name as Japanese text."""
    with open(os.path.join(images, "abcut.d88"), "rb") as f:
        data = bytearray(f.read())
    name = "音楽ディスク"
    encoded = name.encode("cp932")
    data[0:17] = encoded + b"\x00" * (17 - len(encoded))
    path = os.path.join(work, "named.d88")
    with open(path, "wb") as f:
        f.write(data)
    page.load()
    page.open(path)
    cell = page.driver.find_element(By.CSS_SELECTOR, "#disks tbody tr td[data-label='Name']")
    results.check(cell.text == name, f"a Shift-JIS disk name shows as {name} ({cell.text!r})")


def check_bad_files(page, results, work, damaged):
    cases = [
        # name, bytes, words the message must hold
        ("notes.txt", b"These are not the disks you are looking for.\n" * 40,
         "does not look like a floppy-disk image"),
        ("tiny.d88", b"\x00" * 100, "No disk found"),
        ("empty.d88", b"", "No disk found"),
    ]
    # One after another on one page, as a user tries file after file.
    page.load()
    for name, data, words in cases:
        path = os.path.join(work, name)
        with open(path, "wb") as f:
            f.write(data)
        page.open(path)
        if name == "notes.txt" and page.shots:
            page.driver.save_screenshot(os.path.join(page.out, "page-not-an-image.png"))
        problem = page.text("problem") if page.shown("problem") else ""
        results.check(words in problem, f"{name}: the page says {words!r} (it says {problem!r})")
        results.check(not page.shown("image"), f"{name}: no disk table")

    # Damaged images: their disks are still listed, and the damage is said.
    for name, data, words in damaged:
        path = os.path.join(work, name)
        with open(path, "wb") as f:
            f.write(data)
        page.open(path)
        warnings = page.text("image-warnings") if page.shown("image") else ""
        results.check(words in warnings, f"{name}: the damage is shown (shown: {warnings!r})")
    errors = page.console_errors()
    results.check(not errors, f"bad files: no errors in the browser's console ({errors})")


def native_tree(folder):
    """Every file under `folder`, by its path inside ('/' between names)."""
    files = {}
    for top, _, names in os.walk(folder):
        for name in names:
            at = os.path.relpath(os.path.join(top, name), folder).replace(os.sep, "/")
            with open(os.path.join(top, name), "rb") as f:
                files[at] = f.read()
    return files


def zipped_files(data):
    with zipfile.ZipFile(io.BytesIO(data)) as z:
        return {n: z.read(n) for n in z.namelist() if not n.endswith("/")}


def check_files(page, results, images, tools, work):
    """The files of an MS-DOS disk and of a hard disk's partitions: the
    tree from d88info's listing, one file and a zip of them downloaded as
    `d88cut` writes them, under the names it writes them by."""
    out = tempfile.mkdtemp(dir=work)
    subprocess.run([os.path.join(tools, "d88cut", "d88cut"), "-o", out,
                    os.path.join(images, "msdos-2hd.d88"), os.path.join(images, "hard-disk.hdi")],
                   capture_output=True, check=True, timeout=60)
    disk = native_tree(os.path.join(out, "msdos-2hd", "disk00-files"))
    page.load()
    page.open(os.path.join(images, "msdos-2hd.d88"))
    results.check(page.shown("files"), "msdos-2hd.d88: the files are shown")
    section = page.driver.find_element(By.CSS_SELECTOR, "[data-fs='disk-0']")
    top = [b.text for b in section.find_elements(By.CSS_SELECTOR, ".tree > li > .file-download")]
    results.check(top == ["README.TXT", "Read me: first?.txt"],
                  f"msdos-2hd.d88: the top folder's files as the disk names them ({top})")
    results.check(page.driver.execute_script(
        "return !document.querySelector(\"[data-fs='disk-0'] details[data-path='SONGS']\").open"),
        "msdos-2hd.d88: a folder starts shut")
    section.find_element(By.CSS_SELECTOR, "details[data-path='SONGS'] > summary").click()
    section.find_element(By.CSS_SELECTOR, "details[data-path='SONGS/OLD'] > summary").click()
    song = section.find_element(By.CSS_SELECTOR, ".file-download[data-path='SONGS/OLD/SONG1.MID']")
    row = song.find_element(By.XPATH, "..").text
    results.check(song.is_displayed() and "2,100 bytes" in row and "2026-12-08 09:08:38" in row,
                  f"msdos-2hd.d88: an opened folder shows its files, sizes and dates ({row!r})")
    # Saved under the name d88cut writes it by, which is not the disk's.
    for shown, written in (("Read me: first?.txt", "Read me_ first_.txt"),
                           ("SONGS/楽譜.DAT", "SONGS/楽譜.DAT")):
        button = section.find_element(By.CSS_SELECTOR, f".file-download[data-path='{shown}']")
        got = page.download(button, written.rsplit("/", 1)[-1])
        results.check(got is not None and got == disk.get(written),
                      f"msdos-2hd.d88: {shown} downloads as d88cut writes {written}")
    if page.shots:
        page.driver.save_screenshot(os.path.join(page.out, "page-files.png"))
    got = page.download(section.find_element(By.CSS_SELECTOR, ".fs-zip"),
                        "msdos-2hd-disk00-files.zip")
    results.check(got is not None and zipped_files(got) == disk,
                  "msdos-2hd.d88: the zip holds the files in their folders as d88cut writes them")

    page.load()
    page.open(os.path.join(images, "hard-disk.hdi"))
    sections = [e.get_attribute("data-fs")
                for e in page.driver.find_elements(By.CSS_SELECTOR, "[data-fs]")]
    results.check(sections == ["part-0", "part-1"] and not page.shown("disks-wrap"),
                  f"hard-disk.hdi: a tree per partition, no disk table ({sections})")
    button = page.driver.find_element(By.CSS_SELECTOR, "[data-fs='part-1'] .fs-zip")
    got = page.download(button, "hard-disk-part1-files.zip")
    want = native_tree(os.path.join(out, "hard-disk", "part1-files"))
    results.check(got is not None and zipped_files(got) == want,
                  "hard-disk.hdi: partition 1's zip holds what d88cut writes into part1-files")


def check_language(page, results):
    """The switch says the page's texts in Japanese and back, and is kept;
    the programs' own lines stay as they print them."""
    def texts():
        return page.driver.execute_script(
            "return [document.documentElement.lang, document.getElementById('drop-title')"
            ".textContent, document.getElementById('files-title').textContent,"
            " (document.querySelector('[data-fs] h3') || {}).textContent,"
            " document.getElementById('status').textContent]")

    page.driver.find_element(By.CSS_SELECTOR, "[data-language='ja']").click()
    lang, drop, files, heading, status = texts()
    results.check(lang == "ja" and drop == "イメージを開く" and files == "ディスクの中のファイル"
                  and heading.startswith("区画 0「MS-DOS 6.20」") and "区画" in status,
                  f"the switch puts the page in Japanese ({drop!r}, {heading!r}, {status!r})")
    if page.shots:
        page.driver.save_screenshot(os.path.join(page.out, "page-files-ja.png"))
    page.load()
    results.check(texts()[:2] == ["ja", "イメージを開く"], "Japanese is kept for the next visit")
    page.driver.find_element(By.CSS_SELECTOR, "[data-language='en']").click()
    lang, drop = texts()[:2]
    results.check(lang == "en" and drop == "Open an image", f"the switch puts it back ({drop!r})")

    # With no choice kept, the browser's first language decides.
    agent = page.driver.execute_script("return navigator.userAgent")
    page.driver.execute_script("localStorage.removeItem('d88cut-language')")
    for accept, want in (("ja-JP,ja,en", "ja"), ("en-US,ja", "en")):
        page.driver.execute_cdp_cmd("Network.setUserAgentOverride",
                                    {"userAgent": agent, "acceptLanguage": accept})
        page.load()
        results.check(texts()[0] == want, f"a browser preferring {accept} gets the page in {want}")


def map_kinds(page):
    """The map's cells by kind (the legend's swatches left out)."""
    return page.driver.execute_script(
        "const counts = {};"
        "for (const c of document.querySelectorAll('#maps .map .map-cell'))"
        "  counts[c.dataset.kind] = (counts[c.dataset.kind] || 0) + 1;"
        "return counts;")


def open_map(page, index=0):
    summary = page.driver.find_element(
        By.CSS_SELECTOR, f"#maps details.map-disk[data-index='{index}'] summary")
    summary.click()
    WebDriverWait(page.driver, 30).until(lambda d: d.execute_script(
        "return document.querySelector('#maps .map .map-cell, #maps .problem') !== null"))


def check_map(page, results, images, tools):
    """A disk's map: a cell per sector of each kind and per missing sector,
    their IDs on click and focus, the arrow keys, the facts for screen
    readers, kept open across a change of language; and a dump's map."""
    page.load()
    page.open(os.path.join(images, "damaged-sectors.d88"))
    results.check(map_kinds(page) == {}, "the map is listed only once opened")
    open_map(page)
    want = {"sound": 100, "dataCrc": 1, "idCrc": 1, "deleted": 1, "missing": 1}
    kinds = map_kinds(page)
    results.check(kinds == want, f"the damaged disk's map has its cells by kind ({kinds})")
    rows = page.driver.find_elements(By.CSS_SELECTOR, "#maps .map .map-row")
    labels = [r.get_attribute("aria-label") for r in rows]
    results.check(len(rows) == 4 and labels[2] == "Track 2: 24 sound, 1 deleted data, 1 missing"
                  and labels[1] == "Track 1: 24 sound, 1 data CRC error, 1 ID CRC error",
                  f"a row per track, each summed up for screen readers ({labels})")
    order = [c.get_attribute("data-kind")
             for c in rows[1].find_elements(By.CSS_SELECTOR, ".map-cell")]
    results.check(order[4] == "dataCrc" and order[8] == "idCrc" and len(order) == 26,
                  f"track 1's cells in stored order ({order[:10]})")
    legend = page.driver.find_element(By.CSS_SELECTOR, "#maps .map-legend").text
    results.check("data CRC error: 1" in legend and "missing: 1" in legend
                  and "sound: 100" in legend, f"the legend counts each kind ({legend!r})")

    details = page.driver.find_element(By.CSS_SELECTOR, "#maps .map-details")
    bad = rows[1].find_elements(By.CSS_SELECTOR, ".map-cell")[4]
    bad.click()
    results.check("C 0 H 1 R 5 N 1" in details.text and "status 0xB0" in details.text
                  and bad.get_attribute("title") == details.text,
                  f"a click shows the sector's ID and status ({details.text!r})")
    missing = page.driver.find_element(By.CSS_SELECTOR, "#maps .map [data-kind='missing']")
    results.check("R 20" in missing.get_attribute("aria-label"),
                  "the missing cell names its sector number")
    first = page.driver.find_element(By.CSS_SELECTOR, "#maps .map .map-cell[tabindex='0']")
    first.send_keys(Keys.ARROW_DOWN)
    focused = page.driver.switch_to.active_element
    focused.send_keys(Keys.END)
    focused = page.driver.switch_to.active_element
    results.check(focused.get_attribute("data-kind") == "sound"
                  and "Track 1, place 26:" in details.text
                  and focused.get_attribute("tabindex") == "0",
                  f"the arrow keys move the focus, which shows the sector ({details.text!r})")
    if page.shots:
        page.driver.execute_script(
            "document.getElementById('maps').scrollIntoView({block: 'start'})")
        page.driver.save_screenshot(os.path.join(page.out, "page-map-d88.png"))

    page.driver.find_element(By.CSS_SELECTOR, "[data-language='ja']").click()
    summary = page.driver.find_element(By.CSS_SELECTOR, "#maps details.map-disk summary").text
    results.check(summary == "ディスク 0 のマップを表示" and map_kinds(page) == want,
                  f"in Japanese the map stays open with its cells ({summary!r})")
    page.driver.find_element(By.CSS_SELECTOR, "[data-language='en']").click()

    # A flux dump's disk: every sector it decoded has its cell.
    name = "vorxcut-1.scp"
    page.open(os.path.join(images, name))
    open_map(page)
    out = subprocess.run([os.path.join(tools, "d88info", "d88info"), "--json", "--sectors", name],
                         cwd=images, capture_output=True, check=True).stdout
    sectors = sum(len(t["sectors"]) for t in json.loads(out)["disks"][0]["tracks"])
    kinds = map_kinds(page)
    results.check(sum(v for k, v in kinds.items() if k != "missing") == sectors > 0,
                  f"{name}: a cell per sector ({kinds}, {sectors} sectors)")
    check_worn_map(page, results, images, tools)
    errors = page.console_errors()
    results.check(not errors, f"maps: no errors in the browser's console ({errors})")


def dump_kinds(doc):
    """A dump's cells by kind as `d88info --json --sectors` has them: a
    sector's stored status, unless decoding voted or repaired it."""
    of_status = {0x00: "sound", 0xA0: "idCrc", 0xB0: "dataCrc", 0xF0: "noData", 0x10: "deleted"}
    tracks = doc["disks"][0]["tracks"]
    highest = max((s["r"] for t in tracks for s in t["sectors"]), default=0)
    counts = {}
    for track in tracks:
        obtained = {(b["c"], b["h"], b["r"], b["n"]): b["obtained"]
                    for b in track.get("flux", {}).get("badCrc", [])}
        kinds = []
        for s in track["sectors"]:
            kind = obtained.get((s["c"], s["h"], s["r"], s["n"]))
            if kind not in ("voted", "repaired"):
                kind = "deleted" if s["deleted"] == 0x10 else of_status.get(s["status"], "other")
            kinds.append(kind)
        kinds += ["missing"] * sum(1 for r in track["missing"] if r <= highest)
        for kind in kinds:
            counts[kind] = counts.get(kind, 0) + 1
    return counts


def check_worn_map(page, results, images, tools):
    """A worn disk's dump: cells for the sectors voted and repaired from the
    revolutions' copies and the one left bad, as many as d88info finds,
    each saying how it was obtained."""
    name = "worn-2hd.scp"
    page.load()
    page.open(os.path.join(images, name))
    open_map(page)
    out = subprocess.run([os.path.join(tools, "d88info", "d88info"), "--json", "--sectors", name],
                         cwd=images, capture_output=True, check=True).stdout
    doc = json.loads(out)
    want = dump_kinds(doc)
    kinds = map_kinds(page)
    results.check(kinds == want and want.get("voted", 0) > 0 and want.get("repaired", 0) > 0
                  and want.get("dataCrc", 0) > 0,
                  f"{name}: the map's cells by kind are d88info's ({kinds}, d88info: {want})")
    legend = page.driver.find_element(By.CSS_SELECTOR, "#maps .map-legend").text
    results.check(f"voted: {want.get('voted')}" in legend
                  and f"repaired: {want.get('repaired')}" in legend,
                  f"{name}: the legend counts the voted and repaired sectors ({legend!r})")

    # The first sector of each way of obtaining it, by click and by focus;
    # the repaired one last, for the screenshot.
    details = page.driver.find_element(By.CSS_SELECTOR, "#maps .map-details")
    how = {"voted": lambda b: f", voted from {b['votedRevolutions']} revolutions",
           "repaired": lambda b: f", repaired by flipping {b['flippedBits']} bit"
                                 + ("" if b["flippedBits"] == 1 else "s"),
           "badCopy": lambda b: ", no good copy: a bad copy kept"}
    for obtained, reach in (("badCopy", "click"), ("voted", "click"), ("repaired", "focus")):
        found = next(
            ((t, i, b) for t in doc["disks"][0]["tracks"] for b in t["flux"]["badCrc"]
             if b["obtained"] == obtained
             for i, s in enumerate(t["sectors"])
             if (s["c"], s["h"], s["r"], s["n"]) == (b["c"], b["h"], b["r"], b["n"])), None)
        if not results.check(found is not None, f"{name}: d88info finds a {obtained} sector"):
            continue
        track, place, bad = found
        sector = track["sectors"][place]
        cell = page.driver.find_elements(
            By.CSS_SELECTOR, f"#maps .map-row[data-track='{track['track']}'] .map-cell")[place]
        if reach == "click":
            cell.click()
        else:
            page.driver.execute_script("arguments[0].focus()", cell)
        kind = {"voted": "voted", "repaired": "repaired", "badCopy": "data CRC error"}[obtained]
        text = (f"Track {track['track']}, place {place + 1}: C {sector['c']} H {sector['h']}"
                f" R {sector['r']} N {sector['n']}, {sector['length']} bytes, MFM,"
                f" status 0x{sector['status']:02X}: {kind}; bad copies in revolution"
                f" {', '.join(str(r) for r in bad['revolutions'])}{how[obtained](bad)}")
        results.check(details.text == text,
                      f"{name}: a {obtained} sector shows on {reach} how it was obtained"
                      f" ({details.text!r}, want {text!r})")
    if page.shots:
        page.driver.execute_script(
            "document.getElementById('maps').scrollIntoView({block: 'start'})")
        page.driver.save_screenshot(os.path.join(page.out, "page-map.png"))


def check_one_file(results, path):
    """The page in one file refers to nothing beside it."""
    with open(path, encoding="utf-8") as f:
        html = f.read()
    results.check(not re.search(r"<script[^>]*\ssrc=", html) and 'rel="stylesheet"' not in html
                  and "from './" not in html,
                  "d88cut.html loads no script, style or module from beside it")


def check_page(page, results, args, tools, work):
    """Every check on one page: served, or the one file from the disk."""
    images = os.path.abspath(args.images)
    load_times = []
    # Beside the D88 samples, other containers: sector images and two flux
    # dumps (an SCP file and a zipped KryoFlux set).
    samples = [(p, f"{p}.d88") for p in SAMPLES] + [
        ("vorxcut", "full-2hd.fdi"), ("abcut", "abcut-1.nfd"), ("vorxcut", "vorxcut-1.scp"),
        ("oabcut", "oabcut-1-kryoflux.zip")]
    for program, file_name in samples:
        image = os.path.join(images, file_name)
        load_ms, _ = check_sample(page, results, tools, image, work, program)
        load_times.append(load_ms)
        if file_name == "vorxcut.d88" and page.shots:
            driver = page.driver
            os.makedirs(args.out, exist_ok=True)
            driver.execute_script("window.scrollTo(0, 0)")
            driver.save_screenshot(os.path.join(args.out, "page-after-cut.png"))
            driver.set_window_size(390, 844)
            driver.execute_script(
                "document.getElementById('results').scrollIntoView({block: 'start'})")
            driver.save_screenshot(os.path.join(args.out, "page-after-cut-phone.png"))
            driver.execute_script(
                "document.getElementById('image').scrollIntoView({block: 'start'})")
            driver.save_screenshot(os.path.join(args.out, "page-phone-disks.png"))
            driver.set_window_size(1280, 1000)

    # The KryoFlux set's stream files chosen together, not zipped: read as
    # the program reads one of them beside the others in their folder.
    streams = os.path.join(work, "kryoflux")
    with zipfile.ZipFile(os.path.join(images, "oabcut-1-kryoflux.zip")) as z:
        z.extractall(streams)
    streams = os.path.join(streams, "oabcut")
    set_files = sorted(os.path.join(streams, n) for n in os.listdir(streams))
    check_sample(page, results, tools, set_files[0], work, "oabcut", set_files[:0:-1])

    # A full 2HD disk: the time of its cut.
    full = os.path.join(images, "full-2hd.d88")
    _, inspect_ms, cut_ms = check_sample_timing(page, results, full)
    print(f"{results.where}: page load: {max(load_times):.0f} ms at most over "
          f"{len(load_times)} loads; full 2HD disk: inspected in {inspect_ms:.0f} ms, "
          f"cut in {cut_ms:.0f} ms; downloads clicked twice: {page.retries}", flush=True)
    results.check(max(load_times) < MAX_LOAD_MS, f"the page loads in under {MAX_LOAD_MS} ms")
    results.check(cut_ms < MAX_CUT_MS, f"a full 2HD disk is cut in under {MAX_CUT_MS} ms")

    # The vorxcut sample cut short inside its third disk, and the FDI
    # sample inside its 75th track.
    with open(os.path.join(images, "vorxcut.d88"), "rb") as f:
        d88 = f.read()
    with open(os.path.join(images, "full-2hd.fdi"), "rb") as f:
        fdi = f.read()
    doc = native_doc(tools, os.path.join(images, "vorxcut.d88"))
    damaged = [
        ("damaged.d88", d88[:doc["disks"][2]["offset"] + 1000], "is cut short"),
        ("damaged.fdi", fdi[:500000], "FDI image ends inside track 74"),
    ]
    check_disk_name(page, results, images, work)
    check_same_names(page, results, images, tools, work)
    check_forced(page, results, images, tools, work)
    check_archive(page, results, images, tools, work)
    check_bad_files(page, results, work, damaged)
    check_map(page, results, images, tools)
    check_files(page, results, images, tools, work)
    check_language(page, results)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--page", required=True)
    parser.add_argument("--one-file", required=True)
    parser.add_argument("--images", required=True)
    parser.add_argument("--tools", required=True)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    page_dir = os.path.abspath(args.page)
    tools = os.path.abspath(args.tools)

    results = Results()
    scratch = tempfile.mkdtemp(prefix="d88cut-web-")
    server = serve(page_dir)
    driver = None
    try:
        downloads = os.path.join(scratch, "downloads")
        work = os.path.join(scratch, "work")
        alone = os.path.join(scratch, "alone")
        for folder in (downloads, work, alone):
            os.makedirs(folder)
        # The one file in a folder of its own, so that nothing beside it
        # could stand in for what it should hold.
        one_file = os.path.join(alone, "d88cut.html")
        shutil.copyfile(args.one_file, one_file)
        check_one_file(results, one_file)
        driver = start_browser(os.path.join(scratch, "profile"), downloads)
        pages = [("served", f"http://127.0.0.1:{server.server_address[1]}/index.html", True),
                 ("one file from the disk", "file://" + one_file, False)]
        for where, url, shots in pages:
            results.where = where
            page = Page(driver, url, downloads)
            page.out = args.out
            page.shots = shots
            check_page(page, results, args, tools, work)
    finally:
        if driver is not None:
            driver.quit()
        server.shutdown()
        shutil.rmtree(scratch, ignore_errors=True)

    print(f"{results.passed} passed, {results.failed} failed", flush=True)
    return 0 if results.failed == 0 and results.passed > 0 else 1


def check_sample_timing(page, results, image):
    load_ms = page.load()
    page.open(image)
    button = page.driver.find_element(By.CSS_SELECTOR, "button.cut-button")
    button.click()
    WebDriverWait(page.driver, 30).until(
        lambda d: d.find_elements(By.CSS_SELECTOR, "[data-cut] .files a"))
    results.check(page.shown("results"), f"{os.path.basename(image)}: the cut is shown")
    return (load_ms, page.driver.execute_script("return window.d88cut.inspectMs"),
            page.driver.execute_script("return window.d88cut.cutMs"))


if __name__ == "__main__":
    sys.exit(main())
