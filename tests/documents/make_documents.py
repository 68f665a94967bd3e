#!/usr/bin/env python3
"""Writes the project's own test documents into OUTDIR.

Each document reproduces one shape that real deliveries have (line ends, Shift-JIS lists, binary
headers, creators far into the file); what each one holds is listed in expectations.inc, which
the tests read. The bytes are fixed: the same script always writes the same files.
"""
import os
import sys


def sjis(text):
    return text.encode("cp932")


def filler(size, seed):
    """Binary-looking bytes with Shift-JIS lead bytes among them, but no '%': nothing in it reads
    as a comment line, so no marker is found by accident."""
    out = bytearray()
    x = seed
    while len(out) < size:
        x = (x * 1103515245 + 12345) & 0x7FFFFFFF
        b = (x >> 16) & 0xFF
        out.append(0x20 if b == 0x25 else b)
    return bytes(out)


def drawing(size, eol):
    """PostScript-like drawing lines up to `size` bytes."""
    lines = []
    total, i = 0, 0
    while total < size:
        line = b"%d.5 %d.25 m %d.75 %d.125 l S" % (i % 500, i % 700, (i * 3) % 500, (i * 7) % 700) + eol
        lines.append(line)
        total += len(line)
        i += 1
    return b"".join(lines)[:size]


def pdf_based_late_creator():
    # PDF first, the PostScript header far behind it: past the first scan window, inside the second.
    pdf = b"%PDF-1.5\r%\xe2\xe3\xcf\xd3\r1 0 obj\r<</Length 740000>>stream\r" + filler(740000, 7)
    name = b"/Users/designer/Creative Cloud Files/gopher/gopher.psd"
    ps = b"endstream\rendobj\r%!PS-Adobe-3.0 \r%%Creator: Adobe Illustrator(R) 17.0\r"
    ps += b"%%AI8_CreatorVersion: 22.1.0\r%%For: (designer)\r%%DocumentFiles:" + name + b"\r"
    ps += (b"%%+" + name + b"\r") * 15
    ps += b"%%EndComments\r" + drawing(4000, b"\r") + b"%%EOF\r"
    return pdf + ps


def japanese_links_crlf():
    docs = "C:\\Users\\User\\Documents\\にゅーぷれ\\"
    down = "C:\\Users\\User\\Downloads\\"
    names = [docs + "kumo.png", down + "1413398.png", docs + "ソフト表示.png", down + "2420217.png",
             down + "sozai_image_124483.png", docs + "ゲーム機.png"]
    order = [0, 1, 1, 2, 0, 3, 4, 4, 2, 5, 5, 0, 3]
    out = b"%!PS-Adobe-3.0 \r\n%%Creator: Adobe Illustrator(R) 24.0\r\n%%AI8_CreatorVersion: 25.2.1\r\n"
    out += b"%%Title: (\x83`\x83\x89\x83V.ai)\r\n"
    for k, n in enumerate(order):
        out += (b"%%DocumentFiles:" if k == 0 else b"%%+") + sjis(names[n]) + b"\r\n"
    return out + b"%%EndComments\r\n" + drawing(3000, b"\r\n") + b"%%EOF\r\n"


def cut_name_cr():
    # CR only; the first name was cut short by the writer, the second follows a lone CR.
    cut = (b"/Users/hano/Library/Application Support/Adobe/Creative Cloud Libraries/LIBS/"
           b"C19039B45B43F6D30A495E53_7127234d5b164dfe0a495d22/creative_cloud/dcx/"
           b"abfd988e-2bce-4494-868a-6c33d7ac471f/components/bf1241ab-fa13-4bbd-8e43-bbc83cd6d727.")
    out = b"%!PS-Adobe-3.0 \r%%Creator: Adobe Illustrator(R) 17.0\r%%AI8_CreatorVersion: 23.1.1\r"
    out += b"%%DocumentFiles:" + cut + b"\r%%+" + sjis("/Users/hano/Downloads/CFハンフレット.jpg") + b"\r"
    return out + b"%%EndComments\r" + drawing(2000, b"\r")


def ill6_crlf():
    return (b"%!PS-Adobe-3.0 EPSF-3.0\r\n%%Creator: Adobe Illustrator(TM) 6.0\r\n%%AI8_CreatorVersion: 8.0.1\r\n"
            b"%%BoundingBox: 0 0 120 80\r\n%%EndComments\r\n" + drawing(5000, b"\r\n") + b"%%EOF\r\n")


def ps2_lf():
    return (b"%!PS-Adobe-2.0 EPSF-1.2\n%%Creator: Adobe Illustrator(TM) 1.2d4\n%%Title: tiger.eps\n"
            b"%%BoundingBox: 17 171 567 739\n%%EndComments\n" + drawing(6000, b"\n"))


def creator_after_title_lf():
    return (b"%!PS-Adobe-2.0 EPSF-1.2\n%%Title: golfer\n%%BoundingBox: 0 0 100 100\n"
            b"%%Creator: Adobe Illustrator(TM) 1.0b2-\n%%EndComments\n" + drawing(3000, b"\n"))


def dos_eps_preview():
    creator = (b"Adobe Photoshop Version 12.0x20100407 [20100407.r.1103 2010/04/07:14:00:00 cutoff; "
               b"r branch]")
    ps = (b"%!PS-Adobe-3.0 EPSF-3.0\r\n%%Creator: " + creator + b"\r\n%%Title: map.eps\r\n"
          b"%%BoundingBox: 0 0 64 64\r\n%%EndComments\r\n" + drawing(3000, b"\r\n") + b"%%EOF\r\n")
    tiff = b"II*\x00\x08\x00\x00\x00" + filler(6000, 11)
    head = (b"\xc5\xd0\xd3\xc6" + (32).to_bytes(4, "little") + len(ps).to_bytes(4, "little") + bytes(8)
            + (32 + len(ps)).to_bytes(4, "little") + len(tiff).to_bytes(4, "little") + b"\xff\xff")
    return head + bytes(32 - len(head)) + ps + tiff


def macbinary():
    header = bytearray(128)
    header[1] = len(b"logo.eps")
    header[2:2 + 8] = b"logo.eps"
    header[65:69] = b"EPSF"
    header[69:73] = b"ART5"
    body = (b"%!PS-Adobe-3.0 EPSF-3.0\r%%Creator: Adobe Illustrator(R) 8.0\r%%AI8_CreatorVersion: 8.0.1\r"
            b"%%EndComments\r" + drawing(2000, b"\r"))
    header[83:87] = len(body).to_bytes(4, "big")
    return bytes(header) + body


def postscript_string_creator():
    return (b"%!PS-Adobe-3.0 EPSF-3.0\n%%Creator: (MATLAB, The Mathworks, Inc. Version 8.5.0.197613 "
            b"\\(R2015a\\). Operating System: Windows 7)\n%%Title: figure.eps\n%%EndComments\n" + drawing(2000, b"\n"))


def no_epsf():
    return (b"%!PS-Adobe-3.0\n%%Creator: IDL Version 7.0 (linux x86 m32)\n%%BoundingBox: 0 0 300 200\n"
            b"%%EndComments\n" + drawing(2000, b"\n"))


def no_creator():
    return b"%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 512 176\n%%Initialization:\n" + drawing(4000, b"\n")


def third_window():
    # The creator only after 2,048,000 characters: found by the third, longest scan.
    return (b"%!PS-Adobe-3.0 EPSF-3.0\r\n%%BoundingBox: 0 0 10 10\r\n" + drawing(2100000, b"\r\n")
            + b"%%Creator: Far Away Maker 1.0\r\n")


def many_links():
    out = b"%!PS-Adobe-3.0 \r\n%%Creator: Adobe Illustrator(R) 16.0\r\n%%AI8_CreatorVersion: 16.0.0\r\n"
    for i in range(300):
        out += (b"%%DocumentFiles:" if i == 0 else b"%%+") + sjis("D:\\入稿\\画像\\photo%03d.psd" % i) + b"\r\n"
    for i in range(0, 300, 7):  # repeats are listed once
        out += b"%%+" + sjis("D:\\入稿\\画像\\photo%03d.psd" % i) + b"\r\n"
    return out + b"%%EndComments\r\n" + drawing(2000, b"\r\n")


def japanese_file_name():
    return (b"%!PS-Adobe-3.1 EPSF-3.0\r\n%%Creator: Adobe Illustrator(R) 16.0\r\n%%AI8_CreatorVersion: 16.0.4\r\n"
            b"%%EndComments\r\n" + drawing(2000, b"\r\n"))


DOCUMENTS = [
    ("01-pdf-based-late-creator.ai", pdf_based_late_creator),
    ("02-japanese-links-crlf.ai", japanese_links_crlf),
    ("03-cut-name-cr.ai", cut_name_cr),
    ("04-ill6-crlf.eps", ill6_crlf),
    ("05-ps2-lf.eps", ps2_lf),
    ("06-creator-after-title-lf.eps", creator_after_title_lf),
    ("07-dos-eps-preview.eps", dos_eps_preview),
    ("08-macbinary.eps", macbinary),
    ("09-postscript-string-creator.eps", postscript_string_creator),
    ("10-no-epsf.eps", no_epsf),
    ("11-no-creator.eps", no_creator),
    ("12-third-window.eps", third_window),
    ("13-many-links.ai", many_links),
    ("14-日本語の名前.eps", japanese_file_name),
]


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for name, make in DOCUMENTS:
        data = make()
        path = os.path.join(out, name)
        try:
            with open(path, "rb") as f:
                if f.read() == data:
                    continue
        except OSError:
            pass
        tmp = path + ".tmp"
        with open(tmp, "wb") as f:
            f.write(data)
        os.replace(tmp, path)


if __name__ == "__main__":
    main()
