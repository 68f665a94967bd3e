"""pelmora-scan --html over a delivery with a hostile name and value, then the page in headless
Chromium: it renders (a screenshot), asks for nothing over the network, and no document text became
markup."""
import json
import os
import shutil
import subprocess
import sys
import tempfile
from html.parser import HTMLParser

exe, documents = sys.argv[1], sys.argv[2]
chromium = shutil.which("chromium") or shutil.which("chromium-browser")
if not chromium:
    print("skipped: no chromium (scripts/setup.sh installs Debian's)")
    sys.exit(0)

work = tempfile.mkdtemp()
delivery = os.path.join(work, "delivery")
shutil.copytree(documents, delivery)
hostile = '<img src=x onerror=alert(1)>"\'&.eps'
with open(os.path.join(delivery, hostile), "wb") as f:
    f.write(b"%!PS-Adobe-3.0 EPSF-3.0\r%%Creator: </title><script>alert(2)</script>\r"
            b"%%DocumentFonts: <b>Bold</b>\r%%BoundingBox: 0 0 100 100\r%%EndComments\r")
page = os.path.join(work, "report.html")
run = subprocess.run([exe, "--html", page, delivery], capture_output=True, check=False)
assert run.returncode == 3, (run.returncode, run.stderr)
html = open(page, encoding="utf-8").read()


class Tags(HTMLParser):
    def __init__(self):
        super().__init__()
        self.seen = []

    def handle_starttag(self, tag, attrs):
        self.seen.append((tag, tuple(name for name, _ in attrs)))


parsed = Tags()
parsed.feed(html)
# Only the page's own markup: no script, no handler attribute, no element a document could name.
allowed = {"html", "head", "meta", "title", "style", "body", "section", "h1", "h2", "div", "span", "img",
           "table", "tr", "th", "td", "ul", "li", "p", "dl", "dt", "dd"}
for tag, attrs in parsed.seen:
    assert tag in allowed, tag
    assert all(not name.startswith("on") for name in attrs), (tag, attrs)
assert "&lt;img src=x onerror=alert(1)&gt;&quot;&#39;&amp;.eps" in html
assert "&lt;/title&gt;&lt;script&gt;alert(2)&lt;/script&gt;" in html
assert "Content-Security-Policy" in html and "default-src 'none'" in html
# Again over the same file: it is never overwritten.
again = subprocess.run([exe, "--html", page, delivery], capture_output=True, check=False)
assert again.returncode == 2 and open(page, encoding="utf-8").read() == html

netlog = os.path.join(work, "net.json")
shot = os.environ.get("PELMORA_REPORT_SHOT") or os.path.join(work, "report.png")
subprocess.run([chromium, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                "--disable-background-networking", "--disable-component-update", "--disable-sync",
                "--user-data-dir=" + os.path.join(work, "profile"), "--window-size=900,1400",
                "--log-net-log=" + netlog, "--screenshot=" + shot, "file://" + page],
               capture_output=True, timeout=120, check=False)
assert os.path.getsize(shot) > 10000, "no screenshot"
log = json.load(open(netlog))
events = {v: k for k, v in log["constants"]["logEventTypes"].items()}
urls = set()
for event in log["events"]:
    params = event.get("params", {})
    # The browser's own traffic (updates, time) has no origin; the page's has its own.
    if events[event["type"]] == "URL_REQUEST_START_JOB" and params.get("initiator") != "not an origin":
        if not params.get("url", "file:").startswith(("file:", "data:")):
            urls.add(params["url"])
assert not urls, "the page asked the network for " + ", ".join(sorted(urls))
print("html report: rendered, no network request,", html.count('class="doc'), "documents")
