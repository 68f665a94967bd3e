#!/usr/bin/env python3
"""Writes the project's own test documents into OUTDIR.

Each document reproduces one shape that real deliveries have (line ends, Shift-JIS lists, binary
headers, creators far into the file); what each one holds is listed in expectations.inc, which
the tests read. The bytes are fixed: the same script always writes the same files.
"""
import base64
import os
import sys
import unicodedata
import zlib


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


def xmp(body):
    """An XMP packet as Illustrator writes it: UTF-8, namespaces declared on the description."""
    return ("<?xpacket begin=\"\ufeff\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
            "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
            " <rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
            "  <rdf:Description rdf:about=\"\"\n"
            "    xmlns:xmpTPg=\"http://ns.adobe.com/xap/1.0/t/pg/\"\n"
            "    xmlns:stDim=\"http://ns.adobe.com/xap/1.0/sType/Dimensions#\"\n"
            "    xmlns:stFnt=\"http://ns.adobe.com/xap/1.0/sType/Font#\"\n"
            "    xmlns:xmpG=\"http://ns.adobe.com/xap/1.0/g/\"\n"
            "    xmlns:xmpMM=\"http://ns.adobe.com/xap/1.0/mm/\"\n"
            "    xmlns:stMfs=\"http://ns.adobe.com/xap/1.0/sType/ManifestItem#\"\n"
            "    xmlns:stRef=\"http://ns.adobe.com/xap/1.0/sType/ResourceRef#\">\n"
            + body +
            "  </rdf:Description>\n </rdf:RDF>\n</x:xmpmeta>\n" + " " * 2000 + "\n<?xpacket end=\"w\"?>").encode("utf-8")


def xmp_page(w, h, unit):
    return ("<xmpTPg:MaxPageSize rdf:parseType=\"Resource\"><stDim:w>%s</stDim:w><stDim:h>%s</stDim:h>"
            "<stDim:unit>%s</stDim:unit></xmpTPg:MaxPageSize>\n" % (w, h, unit))


def xmp_fonts(names):
    return ("<xmpTPg:Fonts><rdf:Bag>" + "".join(
        "<rdf:li rdf:parseType=\"Resource\"><stFnt:fontName>%s</stFnt:fontName></rdf:li>" % n for n in names)
        + "</rdf:Bag></xmpTPg:Fonts>\n")


def check_rgb_everything():
    # RGB, Japanese fonts in the header and in the XMP, a spot colour, transparency.
    out = b"%PDF-1.5\r%\xe2\xe3\xcf\xd3\r1 0 obj\r<</Length 2900 /Type /Metadata>>stream\r"
    out += xmp(xmp_page("297.000000", "210.000000", "Millimeters") + xmp_fonts(["RyuminPro-Light", "KozGoPr6N-Bold"])
               + "<xmpTPg:HasVisibleTransparency>True</xmpTPg:HasVisibleTransparency>\n")
    out += b"\rendstream\rendobj\r%!PS-Adobe-3.0 \r\n%%Creator: Adobe Illustrator(R) 24.0\r\n"
    out += b"%%AI8_CreatorVersion: 25.2.1\r\n%%For: (\x83f\x83U\x83C\x83i\x81[)\r\n"
    out += b"%%DocumentNeededResources: procset Adobe_level2_AI5 1.2 0\r\n%%+ font RyuminPro-Light\r\n"
    out += b"%%+ font " + sjis("リュウミン") + b"-Bold\r\n%%BoundingBox: 0 0 842 596\r\n"
    out += b"%%HiResBoundingBox: 0 0 841.8898 595.2756\r\n%%DocumentProcessColors: Cyan Magenta Yellow Black\r\n"
    out += b"%%DocumentCustomColors: (" + sjis("DIC 156s*") + b")\r\n%%CMYKCustomColor: 0 0.5 1 0 (" + sjis("DIC 156s*")
    out += b")\r\n%AI5_FileFormat 14.0\r\n%AI9_ColorModel: 1\r\n%%EndComments\r\n" + drawing(3000, b"\r\n")
    return out + b"%%EOF\r\n"


def check_cmyk_clean():
    # Nothing to remark: CMYK, no fonts, no spot colour, no transparency; size from %%BoundingBox.
    out = b"%!PS-Adobe-3.0 EPSF-3.0\n%%Creator: Adobe Illustrator(R) 16.0\n%%AI8_CreatorVersion: 16.0.0\n"
    out += b"%%BoundingBox: 0 0 283 142\n%%DocumentProcessColors: Black\n%AI9_ColorModel: 2\n%%EndComments\n"
    out += drawing(3000, b"\n") + b"%ADO_BeginXMP\n"
    out += xmp(xmp_page("100", "50", "Millimeters")
               + "<xmpTPg:HasVisibleTransparency>False</xmpTPg:HasVisibleTransparency>\n")
    return out + b"\n%%EOF\n"


def check_plain_postscript():
    # No EPSF and nothing of Illustrator's: the window calls it AI, the check says PostScript. The
    # creator is a PostScript string starting like a spreadsheet formula; the size only in the XMP.
    out = b"%!PS-Adobe-2.0\r%%Creator: (=HYPERLINK\\(\"x\"\\), v2)\r%%Pages: 1\r%%EndComments\r"
    out += drawing(2000, b"\r") + xmp(xmp_page("595.28", "841.89", "Points")) + b"\r%%EOF\r"
    return out


def check_atend():
    # Fonts and box deferred to the trailer; an included document's trailer comes first.
    out = b"%!PS-Adobe-3.0 EPSF-3.0\n%%Creator: gnuplot 4.6 patchlevel 3\n%%DocumentFonts: (atend)\n"
    out += b"%%BoundingBox: (atend)\n%%EndComments\n" + drawing(200000, b"\n")
    out += b"\n%%BeginDocument: inner.eps\n%%Trailer\n%%BoundingBox: 0 0 10 10\n%%EndDocument\n"
    out += b"%%Trailer\n%%BoundingBox: 50 50 410 302\n%%DocumentFonts: Helvetica\n%%+ Symbol\n%%EOF\n"
    return out


def native_art(model, fonts, extra_art=b""):
    """Illustrator's native data as its own reader takes it back: a header with every font, a
    palette and a gradient that offer spot colours, and art that uses some of them. CR lines."""
    name = unicodedata.normalize("NFD", "/Users/dtp/写真/パンフレット.jpg").encode("utf-8")
    out = b"%!PS-Adobe-3.0 \r%%Creator: Adobe Illustrator(R) 24.0\r%%BoundingBox: 0 -596 842 0\r"
    out += b"%%DocumentFonts: " + fonts[0] + b"\r" + b"".join(b"%%+ " + f + b"\r" for f in fonts[1:])
    out += b"%%DocumentNeededFonts: " + fonts[0] + b"\r%AI9_ColorModel: " + model + b"\r"
    out += b"%AI3_Cropmarks: 0 -595.2755905512 841.8897637795 0\r%%EndComments\r"
    out += b"%%BeginProlog\r\t(%AI5_EndPalette) discard\r%%EndProlog\r%%BeginSetup\r%AI5_Begin_NonPrinting\r"
    out += b"%AI5_BeginGradient: (Fade)\r0 0.2 1 0 (DIC 2s) 0 1 50 0 %_Bs\r0 0 0 0 1 50 100 %_Bs\r%AI5_EndGradient\r"
    out += b"%AI5_BeginGradient: (Unused)\r0 1 0 0 (PANTONE 032 C) 0 1 50 0 %_Bs\r%AI5_EndGradient\r"
    out += b"%AI5_End_NonPrinting--\r%AI5_BeginPalette\r0 0.5 1 0 (PANTONE 165 C) 0 x\r"
    out += b"1 1 1 1 ([Registration]) 0 Xs\r%AI5_EndPalette\r%%EndSetup\r"
    out += b"1 1 1 1 ([" + "レジストレーション".encode("utf-8") + b"]) 0 Xs\r0 0 0 0 ([None]) 0 XS\r"
    out += b"0 1 1 0 (DIC 156s*) 0 Xs\r1 (Fade) 0 0 0 1 1 0 0 1 0 0 1 Bg\r"
    # Scaled by a half, then turned a quarter and scaled to 0.24.
    out += b"%AI5_BeginPlace\r%%FileType: 1\r[0.5 0 0 -0.5 100 200] 0 0 600 400 4 4 0\r(" + name + b")`\r"
    out += b"%%IncludeFile:/Users/dtp/" + sjis("写真") + b"/x.jpg\r~\r%AI5_EndPlace\r"
    out += b"%AI5_BeginPlace\r[0 0.24 -0.24 0 300 10] 0 0 1000 500 4 4 0\r(logo.tif)`\r%AI5_EndPlace\r"
    out += extra_art + drawing(60000, b"\r")
    return out + b"\r%%PageTrailer\r%%Trailer\r%%EOF\r"


def zstd_raw(data):
    """A zstd frame of raw blocks, which the library reads like any other; Python has no zstd."""
    out = b"\x28\xb5\x2f\xfd\x00\x38"  # no content size, a 128 KiB window
    for i in range(0, len(data), 65536):
        block = data[i:i + 65536]
        last = 1 if i + 65536 >= len(data) else 0
        out += (last | (len(block) << 3)).to_bytes(3, "little") + block
    return out


def pdf_with_private_data(meta, data, block, indirect_length=False):
    """A PDF-based document whose native data is split into /AIPrivateData blocks, written in the
    order Illustrator writes them (1, 10, 11, 2, ...), after a page whose content holds a string
    that reads like an object."""
    blocks = [data[i:i + block] for i in range(0, len(data), block)]
    order = sorted(range(1, len(blocks) + 1), key=str)
    first = 20
    objects = [b"<</Type/Catalog/Pages 2 0 R/PieceInfo<</Illustrator 5 0 R>>>>",
               b"<</Type/Pages/Kids[3 0 R]/Count 1>>",
               b"<</Type/Page/Parent 2 0 R/MediaBox[0 0 842 596]/Contents 4 0 R>>",
               None, b"<</LastModified(D:20261210)/Private 6 0 R>>", None, None]
    content = b"BT (7 0 obj <</AIPrivateData1 99 0 R>>) Tj ET"
    objects[3] = b"<</Length %d>>stream\r\n" % len(content) + content + b"\rendstream"
    refs = b"".join(b"/AIPrivateData%d %d 0 R" % (n, first + i) for i, n in enumerate(order))
    objects[5] = b"<</AIMetaData 7 0 R" + refs + b"/ContainerVersion 11/NumBlock %d>>" % len(blocks)
    objects[6] = b"<</Length %d>>stream\r\n" % len(meta) + meta + b"\rendstream"
    out = b"%PDF-1.5\r%\xe2\xe3\xcf\xd3\r"
    for i, body in enumerate(objects, 1):
        out += b"%d 0 obj\r" % i + body + b"\rendobj\r"
    for i, n in enumerate(order):
        body = blocks[n - 1]
        if indirect_length and n == 2:
            out += b"%d 0 obj\r<</Length 19 0 R>>stream\r\n" % (first + i) + body + b"\rendstream\rendobj\r"
        else:
            out += b"%d 0 obj\r<</Length %d>>stream\r\n" % (first + i, len(body)) + body + b"\rendstream\rendobj\r"
    if indirect_length:
        out += b"19 0 obj\r%d\rendobj\r" % len(blocks[1])
    return out + b"trailer\r<</Root 1 0 R>>\r%%EOF\r"


def ai_meta(fonts):
    """The header Illustrator puts in /AIMetaData: what today's check reads of a PDF-based one."""
    return (b"%!PS-Adobe-3.0 \r%%Creator: Adobe Illustrator(R) 24.0\r%%BoundingBox: 40 -300 500 -20\r"
            b"%%DocumentFonts: " + fonts + b"\r%%DocumentCustomColors: (PANTONE 165 C)\r"
            b"%%CMYKProcessColor: 1 1 1 1 ([Registration])\r%%EndComments\r%%EOF\r")


def check_native_zlib():
    # CMYK, three fonts of which the header names one, a spot the art uses beside palette-only ones.
    data = native_art(b"2", [b"KozGoPr6N-Regular-90ms-RKSJ-H", b"KozGoPr6N-Regular-90ms-RKSJ-V", b"Meiryo"])
    private = b"%%BoundingBox: 0 -596 842 0\r%AI7_Thumbnail: 2 2 8\r%%BeginData: 4 Hex Bytes\r%FFFF\r%%EndData\r"
    private += b"%AI12_CompressedData" + zlib.compress(data, 9)
    return pdf_with_private_data(ai_meta(b"KozGoPr6N-Regular-90ms-RKSJ-H"), private, 1200)


def check_native_zstd():
    # Illustrator 2020 and later: zstd, no plain start, one block's length by reference.
    data = native_art(b"1", [b"Meiryo-Bold"])
    return pdf_with_private_data(ai_meta(b"Meiryo-Bold"), b"%AI24_ZStandard_Data" + zstd_raw(data), 16384,
                                 indirect_length=True)


def check_native_damaged():
    # The zlib data breaks off inside the art: header facts stay, the spot colours in use are
    # unknown and those the comments name (the palette's) remain.
    data = zlib.compress(native_art(b"2", [b"Meiryo"]), 9)
    cut = data[:len(data) // 2] + b"\x00" * 64 + data[len(data) // 2 + 64:]
    return pdf_with_private_data(ai_meta(b"Meiryo"), b"%AI12_CompressedData" + cut, 4096)


def check_cs6_data_stream():
    # An EPS from Illustrator CS6: its PostScript says nothing of colour; the data stream does.
    data = native_art(b"1", [b"Ryumin-Light-83pv-RKSJ-H"])
    encoded = base64.a85encode(zlib.compress(data, 9), wrapcol=250)
    out = b"%!PS-Adobe-3.0 EPSF-3.0\r\n%%Creator: Adobe Illustrator(R) 16.0\r\n%%AI8_CreatorVersion: 16.0.0\r\n"
    out += b"%%BoundingBox: 0 0 842 596\r\n%%DocumentNeededResources: font Ryumin-Light-83pv-RKSJ-H\r\n"
    out += b"%%EndComments\r\n" + drawing(5000, b"\r\n") + b"\r\n%%EOF\r\n%AI9_PrivateDataBegin\r\n"
    out += b"%!PS-Adobe-3.0 EPSF-3.0\r\n%%Creator: Adobe Illustrator(R) 16.0\r\n%%EndComments\r\n%AI9_DataStream\r\n"
    out += b"\r\n".join(b"%" + line for line in encoded.split(b"\n"))
    return out + b"~>\r\n%AI9_PrivateDataEnd\r\n"


def check_photoshop_eps():
    # A Photoshop EPS: its own image in RGB at 72 ppi, read off "%ImageData:" and the box.
    out = b"%!PS-Adobe-3.0 EPSF-3.0\n%%Creator: Adobe Photoshop Version 24.0\n%%BoundingBox: 0 0 300 200\n"
    out += b"%%EndComments\n%%BeginProlog\n%%EndProlog\n%ImageData: 300 200 8 3 1 300 1 \"beginimage\"\n"
    out += filler(3000, 7) + b"\n%%EOF\n"
    return out


def check_needed_fonts():
    # Another writer's EPS asking the printer for its fonts, in the header and in the body.
    out = b"%!PS-Adobe-3.0 EPSF-3.0\n%%Creator: MATLAB\n%%BoundingBox: 0 0 400 300\n"
    out += b"%%DocumentNeededResources: font Helvetica\n%%DocumentSuppliedResources: procset P 1 0\n%%EndComments\n"
    out += drawing(2000, b"\n") + b"\n%%IncludeResource: font Ryumin-Light-83pv-RKSJ-H\n/F1 10 selectfont\n"
    out += b"%%IncludeResource: font Helvetica\n" + drawing(500, b"\n") + b"\n%%EOF\n"
    return out


def pdf(objects, root=1, damage_xref=False, trailer=b""):
    """A PDF of the given objects (object n is objects[n-1]): a bytes body, or (dictionary entries,
    stream data). With damage_xref every offset in the table is wrong, as after a careless edit."""
    out = b"%PDF-1.6\n%\xe2\xe3\xcf\xd3\n"
    offsets = []
    for n, body in enumerate(objects, 1):
        offsets.append(len(out))
        if isinstance(body, tuple):
            entries, data = body
            out += b"%d 0 obj\n<<%s /Length %d>>\nstream\n" % (n, entries, len(data)) + data + b"\nendstream\nendobj\n"
        else:
            out += b"%d 0 obj\n%s\nendobj\n" % (n, body)
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    for o in offsets:
        out += b"%010d 00000 n \n" % (o + 5 if damage_xref else o)
    out += b"trailer\n<</Size %d /Root %d 0 R%s>>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, root, trailer, xref)
    return out


def ai_header(colour_model):
    """Illustrator's header comments, which a PDF-based document keeps in its AIMetaData stream and
    its native data: an A4 artboard as crop marks, which a page of the PDF layer replaces."""
    return (b"%!PS-Adobe-3.0 \r%%Creator: Adobe Illustrator(R) 24.0\r%%AI8_CreatorVersion: 27.0.1\r"
            b"%%BoundingBox: 0 0 612 859\r%%DocumentProcessColors: Cyan Magenta Yellow Black\r"
            b"%AI9_ColorModel: " + colour_model + b"\r%AI3_Cropmarks: 0 0 595.2756 841.8898\r"
            b"%%EndComments\r%%EndProlog\r")


def ai_private(first):
    """The /PieceInfo entry that carries Illustrator's own data (objects `first` and `first`+1)."""
    return b"/PieceInfo <</Illustrator <</Private <</AIMetaData %d 0 R /AIPrivateData1 %d 0 R>>>>>>" % (first, first + 1)


def ai_private_objects(colour_model=b"2"):
    data = b"%AI12_CompressedData" + zlib.compress(ai_header(colour_model))
    return [(b"", ai_header(colour_model)), (b"", data)]


def image(width, height, colour_space, bits=8):
    return (b"/Type /XObject /Subtype /Image /Width %d /Height %d /ColorSpace %s /BitsPerComponent %d /Filter /FlateDecode"
            % (width, height, colour_space, bits), zlib.compress(bytes(width * height // 8)))


def check_pdf_artboards():
    # Two artboards: A4 with 3 mm bleed, and a 90 x 55 mm card turned by /Rotate with uneven bleed
    # (its media box inherited). An indexed image, an ICC-based RGB one, and a CMYK one turned and
    # scaled inside a form; an embedded subset CID font and a font left out; an output intent.
    page1 = b"q 100 0 0 50 50 700 cm /Im1 Do Q q 0.5 0 0 0.5 100 100 cm /Fm1 Do Q BT /F1 12 Tf 72 72 Td (Hello) Tj ET 0 0 m 10 10 l S"
    form = zlib.compress(b"q 0 100 -50 0 300 300 cm /Im3 Do Q")
    return pdf([
        b"<</Type /Catalog /Pages 2 0 R /OutputIntents [<</Type /OutputIntent /S /GTS_PDFX "
        b"/OutputConditionIdentifier (JC200103) /Info (Japan Color 2001 Coated)>>]>>",
        b"<</Type /Pages /Kids [3 0 R 4 0 R] /Count 2 /MediaBox [0 0 612 900]>>",
        b"<</Type /Page /Parent 2 0 R /MediaBox [0 0 612.283 858.898] /TrimBox [8.504 8.504 603.780 850.394] "
        b"/BleedBox [0 0 612.283 858.898] /Contents 5 0 R /Resources <</XObject <</Im1 6 0 R /Fm1 8 0 R>> "
        b"/Font <</F1 10 0 R /F2 12 0 R>>>> " + ai_private(17) + b">>",
        b"<</Type /Page /Parent 2 0 R /Rotate 90 /TrimBox [10 20 265.118 175.906] /BleedBox [0 0 270.787 181.575] "
        b"/Contents 9 0 R /Resources <</XObject <</Im2 7 0 R>>>>>>",
        (b"", page1),
        image(200, 100, b"[/Indexed /DeviceRGB 1 <000000FFFFFF>]"),
        image(600, 300, b"[/ICCBased 13 0 R]"),
        (b"/Type /XObject /Subtype /Form /BBox [0 0 1000 1000] /Matrix [2 0 0 2 0 0] /Filter /FlateDecode "
         b"/Resources <</XObject <</Im3 11 0 R>>>>", form),
        (b"", b"q 200 0 0 100 30 40 cm /Im2 Do Q"),
        b"<</Type /Font /Subtype /Type0 /BaseFont /ABCDEF+KozGoPr6N-Regular-90ms-RKSJ-H /Encoding /90ms-RKSJ-H "
        b"/DescendantFonts [14 0 R]>>",
        image(400, 300, b"/DeviceCMYK"),
        b"<</Type /Font /Subtype /TrueType /BaseFont /Arial-BoldMT /FontDescriptor 16 0 R>>",
        (b"/N 3 /Alternate /DeviceRGB", b"icc"),
        b"<</Type /Font /Subtype /CIDFontType0 /BaseFont /ABCDEF+KozGoPr6N-Regular /FontDescriptor 15 0 R>>",
        b"<</Type /FontDescriptor /FontName /ABCDEF+KozGoPr6N-Regular /FontFile3 19 0 R>>",
        b"<</Type /FontDescriptor /FontName /Arial-BoldMT>>",
    ] + ai_private_objects() + [(b"/Subtype /CIDFontType0C", b"font")])


def text_page(text, private=True):
    """One page whose art is only text, inside a form drawn twice, as Illustrator draws its placeholder."""
    form = b"BT 0 0 0 1 k /T1_0 1 Tf 12 0 0 -12 0 0 Tm " + text + b" ET"
    page = b"q 0 800 800 -800 re W n q 1 0 0 -1 40 100 cm /Fm0 Do Q q 1 0 0 -1 40 300 cm /Fm0 Do Q Q"
    return pdf([
        b"<</Type /Catalog /Pages 2 0 R>>",
        b"<</Type /Pages /Kids [3 0 R] /Count 1>>",
        b"<</Type /Page /Parent 2 0 R /MediaBox [0 0 800 800] /Contents 4 0 R /Resources <</XObject <</Fm0 5 0 R>>>> "
        + (ai_private(7) if private else b"") + b">>",
        (b"", page),
        (b"/Subtype /Form /BBox [0 0 400 100] /Resources <</Font <</T1_0 6 0 R>>>>", form),
        b"<</Type /Font /Subtype /Type1 /BaseFont /MyriadPro-Regular>>",
    ] + ai_private_objects())


def check_pdf_placeholder():
    # Illustrator's words, split for kerning and with its octal-escaped marks.
    return text_page(b"[(This is an Adobe\\256 I)-10 (llustr)5 (ator\\256 File that was saved without )]TJ (PDF Content.)Tj")


def check_pdf_text_only():
    # Art that is only text, in the same shape: the PDF layer is the art.
    return text_page(b"<48656C6C6F>Tj")


def check_pdf_damaged_xref():
    # Every offset wrong: qpdf finds the objects itself. A 1-bit inline image drawn at 72 ppi.
    page = b"q 16 0 0 8 100 100 cm BI /W 16 /H 8 /CS /G /BPC 1 ID \x00\xffEI\x00\xff\x00\xff\x00\xff\x00\xff\x00\xff\x00\xff\x00\xff EI Q"
    return pdf([
        b"<</Type /Catalog /Pages 2 0 R>>",
        b"<</Type /Pages /Kids [3 0 R] /Count 1>>",
        b"<</Type /Page /Parent 2 0 R /MediaBox [0 0 283.465 283.465] /Contents 4 0 R>>",
        (b"", page),
    ], damage_xref=True)


def check_pdf_deep_forms():
    # Forms inside forms, twenty deep, the image at the bottom: past sixteen levels nothing is read.
    depth = 20
    objects = [b"<</Type /Catalog /Pages 2 0 R>>", b"<</Type /Pages /Kids [3 0 R] /Count 1>>",
               b"<</Type /Page /Parent 2 0 R /MediaBox [0 0 100 100] /Contents 4 0 R /Resources <</XObject <</F 5 0 R>>>>>>",
               (b"", b"/F Do")]
    for level in range(depth):
        n = 5 + level
        objects.append((b"/Subtype /Form /BBox [0 0 100 100] /Resources <</XObject <</F %d 0 R>>>>" % (n + 1), b"/F Do"))
    objects.append(image(10, 10, b"/DeviceGray"))
    return pdf(objects)


def check_pdf_encrypted():
    # A user password is needed: the layer's facts stay unknown, the rest of the document's do not.
    return pdf([b"<</Type /Catalog /Pages 2 0 R>>", b"<</Type /Pages /Kids [3 0 R] /Count 1>>",
                b"<</Type /Page /Parent 2 0 R /MediaBox [0 0 100 100]>>",
                b"<</Filter /Standard /V 2 /R 3 /Length 128 /P -4 /O <%s> /U <%s>>>" % (b"11" * 32, b"22" * 32)],
               trailer=b" /Encrypt 4 0 R /ID [<00112233445566778899AABBCCDDEEFF> <00112233445566778899AABBCCDDEEFF>]")


def check_pdf_long_content():
    # Drawing instructions that inflate from far more than one read of the file, an image drawn in
    # each stretch: every image is looked up while the content is still being read.
    lines, x = [], 1
    for i in range(6000):
        x = (x * 1103515245 + 12345) & 0x7FFFFFFF
        lines.append(b"%d.%02d %d.%02d m %d.%02d %d.%02d l S" % (x % 800, x % 97, (x >> 8) % 800, (x >> 3) % 89,
                                                               (x >> 5) % 800, x % 83, (x >> 11) % 800, (x >> 2) % 79))
        if i % 1000 == 999:
            lines.append(b"q 120 0 0 60 %d 100 cm /Im%d Do Q" % (i // 10, i // 1000))
    content = zlib.compress(b"\n".join(lines), 9)
    assert len(content) > 4 * 10240
    images = [image(240 + 60 * n, 120, b"/DeviceCMYK") for n in range(6)]
    names = b" ".join(b"/Im%d %d 0 R" % (n, 5 + n) for n in range(6))
    return pdf([
        b"<</Type /Catalog /Pages 2 0 R>>",
        b"<</Type /Pages /Kids [3 0 R] /Count 1>>",
        b"<</Type /Page /Parent 2 0 R /MediaBox [0 0 800 800] /Contents 4 0 R /Resources <</XObject <<" + names + b">>>>>>",
        (b"/Filter /FlateDecode", content),
    ] + images)


def check_pdf_linked_proxy():
    # A linked photo.psd placed at 144 x 108 pt, whose preview the PDF layer draws at that size, and
    # an image of the document's own drawn elsewhere: the file, where the delivery has it, wins over
    # its preview; without it the preview's figures stand for the placement, listed once.
    header = (b"%!PS-Adobe-3.0 \r%%Creator: Adobe Illustrator(R) 24.0\r%%AI8_CreatorVersion: 27.0.1\r"
              b"%%BoundingBox: 0 0 596 842\r%%DocumentFiles:photo.psd\r%AI9_ColorModel: 2\r"
              b"%AI3_Cropmarks: 0 0 595.2756 841.8898\r%%EndComments\r%%EndProlog\r"
              b"%AI5_BeginPlace\r[0.36 0 0 -0.36 100 208] 0 0 400 300 4 4 0\r(photo.psd)`\r%AI5_EndPlace\r")
    page = b"q 144 0 0 108 100 100 cm /Im0 Do Q q 72 0 0 72 300 500 cm /Im1 Do Q"
    return pdf([
        b"<</Type /Catalog /Pages 2 0 R>>",
        b"<</Type /Pages /Kids [3 0 R] /Count 1>>",
        b"<</Type /Page /Parent 2 0 R /MediaBox [0 0 612.283 858.898] /TrimBox [8.504 8.504 603.780 850.394] "
        b"/Contents 4 0 R /Resources <</XObject <</Im0 5 0 R /Im1 6 0 R>>>> " + ai_private(7) + b">>",
        (b"", page),
        image(400, 300, b"/DeviceRGB"),
        image(100, 100, b"/DeviceCMYK"),
        (b"", header),
        (b"", b"%AI12_CompressedData" + zlib.compress(header)),
    ])


def check_pdf_macbinary():
    # From a Mac: a MacBinary header before the PDF and a resource fork after it.
    data = check_pdf_text_only()
    fork = b"\x00\x00\x01\x00" + bytes(252)
    name = b"card.ai"
    header = bytearray(128)
    header[1] = len(name)
    header[2:2 + len(name)] = name
    header[65:73] = b"PDF CARO"
    header[83:87] = len(data).to_bytes(4, "big")
    header[87:91] = len(fork).to_bytes(4, "big")
    pad = bytes(-len(data) % 128)
    return bytes(header) + data + pad + fork


def check_converted_spots():
    # A page another program turned into PostScript: no native data and no colour comments, its
    # spot colours only in the colour spaces its page sets up. The procset's generic code sets up
    # placeholders that print nothing.
    out = b"%!PS-Adobe-3.0 EPSF-3.0\n%%Creator: pdftops\n%%BoundingBox: 0 0 456 567\n%%EndComments\n"
    out += b"%%BeginProlog\n%%BeginResource: procset AGM 1 0\n"
    out += b"/AGM_map{/ColorSpace[/DeviceN[/_cyan_/_magenta_/_yellow_/_black_]/DeviceCMYK{}]def}def\n"
    out += b"/AGM_sep{[/Separation(Yellow)/DeviceCMYK{0 0 3 -1 roll 0}bind]setcolorspace}def\n"
    out += b"%%EndResource\n%%EndProlog\n%%Page: 1 1\n" + drawing(3000, b"\n")
    out += b"[/Separation (PANTONE 109 C) /DeviceCMYK\n{dup 0 mul exch dup 0.1 mul exch dup 1 mul exch 0 mul}\n] {} cs\n"
    out += b"[1] sc\n10 10 m 20 20 l f\n[/Separation /All /DeviceCMYK {dup dup dup}] cs [1] sc\n"
    out += b"[/DeviceN [(PANTONE 109 C) (DIC 156s*) (Black)] /DeviceCMYK {}] cs\n[1 1 1] sc\n30 30 m 40 40 l f\n"
    return out + b"showpage\n%%Trailer\n%%EOF\n"


CHECK_DOCUMENTS = [
    ("c01-rgb-everything.ai", check_rgb_everything),
    ("c02-cmyk-clean.eps", check_cmyk_clean),
    ("c03-plain-postscript.ps", check_plain_postscript),
    ("c04-atend.eps", check_atend),
    ("c05-native-zlib.ai", check_native_zlib),
    ("c06-native-zstd.ai", check_native_zstd),
    ("c07-native-damaged.ai", check_native_damaged),
    ("c08-cs6-data-stream.eps", check_cs6_data_stream),
    ("c09-photoshop.eps", check_photoshop_eps),
    ("c10-needed-fonts.eps", check_needed_fonts),
    ("c11-pdf-artboards.ai", check_pdf_artboards),
    ("c12-pdf-placeholder.ai", check_pdf_placeholder),
    ("c13-pdf-text-only.ai", check_pdf_text_only),
    ("c14-pdf-damaged-xref.ai", check_pdf_damaged_xref),
    ("c15-pdf-deep-forms.ai", check_pdf_deep_forms),
    ("c16-pdf-encrypted.ai", check_pdf_encrypted),
    ("c17-pdf-macbinary.ai", check_pdf_macbinary),
    ("c18-pdf-long-content.ai", check_pdf_long_content),
    ("c19-pdf-linked-proxy.ai", check_pdf_linked_proxy),
    ("c20-converted-spots.eps", check_converted_spots),
]


def write(out, documents):
    os.makedirs(out, exist_ok=True)
    for name, make in documents:
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


def main():
    write(sys.argv[1], DOCUMENTS)
    # The preflight's documents apart: the suites that walk OUTDIR expect exactly DOCUMENTS there.
    if len(sys.argv) > 2:
        write(sys.argv[2], CHECK_DOCUMENTS)


if __name__ == "__main__":
    main()
