"""pelmora-scan --check --csv, read back as a spreadsheet would: Python's csv module, with the
comma and, as LibreOffice's import is often set, the semicolon too."""
import csv
import io
import subprocess
import sys

exe, documents = sys.argv[1], sys.argv[2]
for images in ([], ["--images"]):
    run = subprocess.run([exe, "--check", "--csv", *images, documents], capture_output=True, check=False)
    assert run.returncode == 3, (run.returncode, run.stderr)
    text = run.stdout.decode("utf-8")
    assert text.startswith("\ufeff"), "byte-order mark"
    rows = list(csv.reader(io.StringIO(text[1:], newline="")))
    heading = rows[0]
    assert len(rows) > 1
    for row in rows[1:]:
        assert len(row) == len(heading), (heading, row)
    by_file = {r[0].rsplit("/", 1)[-1]: dict(zip(heading, r)) for r in rows[1:]}
    c01 = by_file["c01-rgb-everything.ai"]
    assert c01["フォント名"].split("\n") == ["RyuminPro-Light", "リュウミン-Bold", "KozGoPr6N-Bold"], c01
    assert c01["フォント"] == "3" and c01["特色名"] == "DIC 156s*", c01
    # Every text is quoted, so that a semicolon (LibreOffice's import often splits on it too) splits
    # nothing: read so, an unquoted cell must be a number.
    for row in csv.reader(io.StringIO(text[1:], newline=""), quoting=csv.QUOTE_NONNUMERIC):
        assert all(isinstance(v, str) or v.is_integer() for v in row), row
print("csv round trip:", len(by_file), "documents")
