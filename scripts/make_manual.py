#!/usr/bin/env python3
"""Typesets the manual source into a PDF, with no tool but Pillow for the
pictures.

The source is a small markup: '# title', '%subtitle', '%version', '## section',
'### subsection', paragraphs, '- ' bullets, '| a | b | c' table rows (the
first row is the header), and picture slots

    @image FILE | caption | tessaline-host arguments with {out}

A slot's picture is made by running the stand-in host with those arguments
when it exists; failing that an earlier picture in the images folder is used;
failing that the slot is drawn as a marked frame."""

import argparse
import re
import subprocess
import sys
import zlib
from pathlib import Path

from PIL import Image

PAGE_W, PAGE_H = 595.0, 842.0  # A4 in points
MARGIN_X, MARGIN_TOP, MARGIN_BOTTOM = 64.0, 64.0, 64.0
TEXT_W = PAGE_W - 2 * MARGIN_X
ACCENT = (0.20, 0.77, 0.69)
DARK = (0.16, 0.18, 0.22)

# Advance widths of the standard fonts, in thousandths of the size, for ASCII 32-126.
HELVETICA = [278, 278, 355, 556, 556, 889, 667, 222, 333, 333, 389, 584, 278, 333, 278, 278] + [556] * 10 + [
    278, 278, 584, 584, 584, 556, 1015, 667, 667, 722, 722, 667, 611, 778, 722, 278, 500, 667, 556, 833, 722, 778,
    667, 778, 722, 667, 611, 722, 667, 944, 667, 667, 611, 278, 278, 278, 469, 556, 222, 556, 556, 500, 556, 556,
    278, 556, 556, 222, 222, 500, 222, 833, 556, 556, 556, 556, 333, 500, 278, 556, 500, 722, 500, 500, 500, 334,
    260, 334, 584]
HELVETICA_BOLD = [278, 333, 474, 556, 556, 889, 722, 278, 333, 333, 389, 584, 278, 333, 278, 278] + [556] * 10 + [
    333, 333, 584, 584, 584, 611, 975, 722, 722, 722, 722, 667, 611, 778, 722, 278, 556, 722, 611, 833, 722, 778,
    667, 778, 722, 667, 611, 722, 667, 944, 667, 667, 611, 333, 278, 333, 584, 556, 278, 556, 611, 556, 611, 556,
    333, 611, 611, 278, 278, 556, 278, 889, 611, 611, 611, 611, 389, 556, 333, 611, 556, 778, 556, 556, 500, 389,
    280, 389, 584]
FONTS = {"R": ("Helvetica", HELVETICA), "B": ("Helvetica-Bold", HELVETICA_BOLD), "C": ("Courier", None)}


def width_of(text, font, size):
    table = FONTS[font][1]
    if table is None:
        return 0.6 * size * len(text)
    total = 0
    for ch in text:
        code = ord(ch)
        total += table[code - 32] if 32 <= code <= 126 else 556
    return total * size / 1000.0


def encode(text):
    raw = text.encode("cp1252", errors="replace")
    return raw.replace(b"\\", b"\\\\").replace(b"(", b"\\(").replace(b")", b"\\)")


def spans(text, base="R"):
    """Splits text into (word, font) pieces; **bold** and `code` change the font."""
    pieces = []
    for i, part in enumerate(re.split(r"(\*\*[^*]+\*\*|`[^`]+`)", text)):
        if not part:
            continue
        if part.startswith("**"):
            font, body = "B", part[2:-2]
        elif part.startswith("`"):
            font, body = "C", part[1:-1]
        else:
            font, body = base, part
        for word in re.split(r"(\s+)", body):
            if word:
                pieces.append((word, font))
    return pieces


class Document:
    def __init__(self):
        self.pages = []
        self.images = []  # (width, height, compressed RGB)
        self.ops = None
        self.y = 0.0
        self.new_page()

    def new_page(self):
        self.ops = []
        self.pages.append(self.ops)
        self.y = PAGE_H - MARGIN_TOP

    def need(self, height):
        if self.y - height < MARGIN_BOTTOM:
            self.new_page()

    def colour(self, rgb):
        self.ops.append("%.3f %.3f %.3f rg" % rgb)

    def text(self, x, y, text, font, size):
        self.ops.append("BT /F%s %.2f Tf %.2f %.2f Td (%s) Tj ET" % (font, size, x, y, encode(text).decode("latin-1")))

    def rect(self, x, y, w, h, rgb, fill=True):
        if fill:
            self.colour(rgb)
            self.ops.append("%.2f %.2f %.2f %.2f re f" % (x, y, w, h))
        else:
            self.ops.append("%.3f %.3f %.3f RG 0.8 w [4 3] 0 d %.2f %.2f %.2f %.2f re S [] 0 d" % (rgb + (x, y, w, h)))

    def lines(self, text, width, size, base="R"):
        """Greedy line breaking; returns lists of (word, font) per line."""
        result, line, used = [], [], 0.0
        for word, font in spans(text, base):
            if word.isspace():
                if line:
                    line.append((" ", font))
                    used += width_of(" ", font, size)
                continue
            w = width_of(word, font, size)
            if line and used + w > width:
                while line and line[-1][0] == " ":
                    line.pop()
                result.append(line)
                line, used = [], 0.0
            line.append((word, font))
            used += w
        if line:
            result.append(line)
        return result

    def draw_line(self, x, y, line, size):
        for word, font in line:
            if word != " ":
                self.text(x, y, word, font, size)
            x += width_of(word, font, size)

    def paragraph(self, text, size=10.5, indent=0.0, leading=1.4, base="R"):
        self.colour(DARK)
        for line in self.lines(text, TEXT_W - indent, size, base):
            self.need(size * leading)
            self.y -= size * leading
            self.colour(DARK)
            self.draw_line(MARGIN_X + indent, self.y, line, size)
        self.y -= size * 0.6

    def bullet(self, text):
        size = 10.5
        lines = self.lines(text, TEXT_W - 16, size)
        for i, line in enumerate(lines):
            self.need(size * 1.4)
            self.y -= size * 1.4
            if i == 0:
                self.rect(MARGIN_X + 4, self.y + 2.5, 3.2, 3.2, ACCENT)
            self.colour(DARK)
            self.draw_line(MARGIN_X + 16, self.y, line, size)
        self.y -= 2

    def heading(self, text, level):
        size = 17 if level == 2 else 12.5
        self.need(size * 3 + 40)
        self.y -= size * (1.8 if level == 2 else 1.3)
        if level == 2:
            self.rect(MARGIN_X, self.y - 6, TEXT_W, 1.2, ACCENT)
        self.colour(DARK)
        self.text(MARGIN_X, self.y, text, "B", size)
        self.y -= size * 0.7

    def table(self, rows):
        fractions = [0.24, 0.24, 0.52]
        size, pad = 9.0, 4.0
        widths = [f * TEXT_W for f in fractions]
        for r, row in enumerate(rows):
            cells = (row + [""] * 3)[:3]
            wrapped = [self.lines(c, widths[i] - 2 * pad, size, "B" if r == 0 or i == 0 else "R")
                       for i, c in enumerate(cells)]
            height = max(len(w) for w in wrapped) * size * 1.3 + 2 * pad
            self.need(height)
            top = self.y
            if r == 0:
                self.rect(MARGIN_X, top - height, TEXT_W, height, (0.88, 0.95, 0.94))
            elif r % 2 == 0:
                self.rect(MARGIN_X, top - height, TEXT_W, height, (0.96, 0.96, 0.97))
            x = MARGIN_X
            for i, lines in enumerate(wrapped):
                y = top - pad
                for line in lines:
                    y -= size * 1.3
                    self.colour(DARK)
                    self.draw_line(x + pad, y + 2, line, size)
                x += widths[i]
            self.y = top - height
        self.rect(MARGIN_X, self.y, TEXT_W, 0.6, ACCENT)
        self.y -= 10

    def picture(self, path, caption):
        if path is not None:
            image = Image.open(path).convert("RGB")
            scale = min(1.0, TEXT_W / image.width, 300.0 / image.height)
            w, h = image.width * scale, image.height * scale
            self.images.append((image.width, image.height, zlib.compress(image.tobytes(), 9)))
            self.need(h + 30)
            self.y -= h + 6
            self.ops.append("q %.2f 0 0 %.2f %.2f %.2f cm /Im%d Do Q" % (w, h, MARGIN_X + (TEXT_W - w) / 2, self.y,
                                                                         len(self.images)))
        else:
            h = 120.0
            self.need(h + 30)
            self.y -= h + 6
            self.rect(MARGIN_X + 40, self.y, TEXT_W - 80, h, (0.55, 0.55, 0.6), fill=False)
            self.colour((0.45, 0.45, 0.5))
            note = "Picture to come: rendered by tessaline-host when the build has it"
            self.text(MARGIN_X + (TEXT_W - width_of(note, "R", 9)) / 2, self.y + h / 2, note, "R", 9)
        self.y -= 14
        self.colour((0.35, 0.37, 0.42))
        self.text(MARGIN_X + (TEXT_W - width_of(caption, "R", 9)) / 2, self.y, caption, "R", 9)
        self.y -= 12

    def serialise(self, title):
        objects = []

        def add(body):
            objects.append(body)
            return len(objects)

        catalog = add(None)
        pages_id = add(None)
        fonts = {key: add(b"<< /Type /Font /Subtype /Type1 /BaseFont /%s /Encoding /WinAnsiEncoding >>" %
                          name.encode()) for key, (name, _) in FONTS.items()}
        image_ids = []
        for w, h, data in self.images:
            image_ids.append(add(b"<< /Type /XObject /Subtype /Image /Width %d /Height %d /ColorSpace /DeviceRGB "
                                 b"/BitsPerComponent 8 /Filter /FlateDecode /Length %d >>\nstream\n" % (w, h, len(data))
                                 + data + b"\nendstream"))
        font_dict = b" ".join(b"/F%s %d 0 R" % (k.encode(), v) for k, v in fonts.items())
        xobjects = b" ".join(b"/Im%d %d 0 R" % (i + 1, n) for i, n in enumerate(image_ids))
        resources = b"<< /Font << %s >> /XObject << %s >> >>" % (font_dict, xobjects)
        page_ids = []
        for number, ops in enumerate(self.pages, start=1):
            footer = "BT /FR 8 Tf 0.5 0.5 0.55 rg %.2f 34 Td (%s    %d) Tj ET" % (
                MARGIN_X, encode(title).decode("latin-1"), number)
            stream = zlib.compress(("\n".join(ops + [footer])).encode("latin-1"))
            content = add(b"<< /Length %d /Filter /FlateDecode >>\nstream\n" % len(stream) + stream + b"\nendstream")
            page_ids.append(add(b"<< /Type /Page /Parent %d 0 R /MediaBox [0 0 %d %d] /Resources %s /Contents %d 0 R >>"
                                % (pages_id, PAGE_W, PAGE_H, resources, content)))
        objects[catalog - 1] = b"<< /Type /Catalog /Pages %d 0 R >>" % pages_id
        objects[pages_id - 1] = b"<< /Type /Pages /Kids [%s] /Count %d >>" % (
            b" ".join(b"%d 0 R" % p for p in page_ids), len(page_ids))
        info = add(b"<< /Title (%s) /Producer (make_manual.py) >>" % encode(title))
        out = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
        offsets = []
        for i, body in enumerate(objects, start=1):
            offsets.append(len(out))
            out += b"%d 0 obj\n" % i + body + b"\nendobj\n"
        xref = len(out)
        out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
        for off in offsets:
            out += b"%010d 00000 n \n" % off
        out += b"trailer\n<< /Size %d /Root %d 0 R /Info %d 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (
            len(objects) + 1, catalog, info, xref)
        return bytes(out)


def make_picture(host, root, images, name, arguments):
    """Runs the stand-in host for a slot; the slot's picture path, or None."""
    target = images / name
    if host.exists() and arguments:
        args = [a.replace("{out}", str(target)) for a in arguments.split()]
        for a in args:
            if a.endswith(".json") and not (root / a).exists():
                print(f"make_manual: {name}: scene {a} not there yet, slot left marked", file=sys.stderr)
                args = None
                break
        if args is not None:
            try:
                done = subprocess.run([str(host)] + args, cwd=root, stdout=subprocess.DEVNULL,
                                      stderr=subprocess.PIPE, timeout=600, text=True)
                if done.returncode != 0:
                    last = (done.stderr.strip().splitlines() or ["failed"])[-1]
                    print(f"make_manual: {name}: tessaline-host {args[0]}: {last}", file=sys.stderr)
            except (OSError, subprocess.TimeoutExpired) as error:
                print(f"make_manual: {name}: {error}", file=sys.stderr)
    # A frames-style output name ends up numbered; take the first frame.
    for candidate in (target, target.with_name(target.stem + "-000" + target.suffix)):
        if candidate.exists():
            return candidate
    return None


def build(args):
    root, source = Path(args.root), Path(args.source)
    images = Path(args.images)
    images.mkdir(parents=True, exist_ok=True)
    doc = Document()
    title, subtitle, version = "Manual", "", ""
    lines = source.read_text(encoding="utf-8").splitlines()
    paragraph, table = [], []

    def flush():
        if paragraph:
            doc.paragraph(" ".join(paragraph))
            paragraph.clear()
        if table:
            doc.table(list(table))
            table.clear()

    for number, raw in enumerate(lines, start=1):
        line = raw.rstrip()
        if not line.strip():
            flush()
            continue
        if line.startswith("| "):
            if paragraph:
                flush()
            table.append([c.strip() for c in line[1:].split("|")])
            continue
        if table:
            flush()
        if line.startswith("# "):
            title = line[2:].strip()
        elif line.startswith("%subtitle "):
            subtitle = line[10:].strip()
        elif line.startswith("%version "):
            version = line[9:].strip()
            doc.rect(0, PAGE_H - 150, PAGE_W, 150, DARK)
            doc.rect(0, PAGE_H - 154, PAGE_W, 4, ACCENT)
            doc.colour((1, 1, 1))
            doc.text(MARGIN_X, PAGE_H - 90, title, "B", 34)
            doc.colour((0.8, 0.85, 0.9))
            doc.text(MARGIN_X, PAGE_H - 118, subtitle, "R", 13)
            doc.text(MARGIN_X, PAGE_H - 138, "Version " + version, "R", 10)
            doc.y = PAGE_H - 170
        elif line.startswith("### "):
            flush()
            doc.heading(line[4:].strip(), 3)
        elif line.startswith("## "):
            flush()
            doc.heading(line[3:].strip(), 2)
        elif line.startswith("- "):
            flush()
            doc.bullet(line[2:].strip())
        elif line.startswith("@image "):
            flush()
            parts = [p.strip() for p in line[7:].split("|")]
            if len(parts) < 2:
                sys.exit(f"{source}:{number}: a picture slot needs a file and a caption")
            name, caption = parts[0], parts[1]
            arguments = parts[2] if len(parts) > 2 else ""
            doc.picture(make_picture(Path(args.host), root, images, name, arguments), caption)
        else:
            paragraph.append(line.strip())
    flush()
    Path(args.output).write_bytes(doc.serialise(f"{title} {version}".strip()))
    print(f"make_manual: wrote {args.output} ({len(doc.pages)} pages, {len(doc.images)} pictures)")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", required=True)
    parser.add_argument("--host", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--images", required=True)
    parser.add_argument("--output", required=True)
    build(parser.parse_args())


if __name__ == "__main__":
    main()
