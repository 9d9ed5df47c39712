#!/usr/bin/env python3
"""Draws the Manager's pictures: the eight 16x16 pictures of the server pane, the tool bar
icons, the frames of the busy animation, the window icon, its larger sizes for the desktop's
icon theme (icons/SIZE.png) and the version window's picture.

Standard library only for the PNG files. The version picture is drawn here as a PPM and
handed to ImageMagick's `convert` for the caption text and the JPEG encoding.
Run it from anywhere; it rewrites the files beside itself. The results are committed, so the
build never needs this script.
"""

import math
import os
import struct
import subprocess
import sys
import tempfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def rgb(text, alpha=255):
    text = text.lstrip("#")
    return (int(text[0:2], 16), int(text[2:4], 16), int(text[4:6], 16), alpha)


CLEAR = (0, 0, 0, 0)
BLACK = rgb("000000")
WHITE = rgb("ffffff")
OUTLINE = rgb("404040")
GREY = rgb("a0a0a8")
LIGHT = rgb("d8d8e0")
DARK_SCREEN = rgb("1c2430")
GREEN_SCREEN = rgb("2fbf4a")
GREEN = rgb("1e9e36")
RED = rgb("d02020")
BLUE = rgb("2060d0")
LIGHT_BLUE = rgb("80b0f0")
FOLDER = rgb("f0c040")
FOLDER_FRONT = rgb("f8dc78")
FOLDER_EDGE = rgb("a07010")
PAPER = rgb("fcfcfc")
PAPER_EDGE = rgb("808088")
TEXT_LINE = rgb("9090a0")
ORANGE = rgb("e07818")
BROWN = rgb("8a5a2a")


class Canvas:
    def __init__(self, width, height, fill=CLEAR):
        self.w, self.h = width, height
        self.px = [fill] * (width * height)

    def set(self, x, y, colour):
        if 0 <= x < self.w and 0 <= y < self.h:
            if colour[3] == 255 or colour[3] == 0:
                self.px[y * self.w + x] = colour
            else:
                self.px[y * self.w + x] = blend(self.px[y * self.w + x], colour)

    def rect(self, x0, y0, x1, y1, colour):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.set(x, y, colour)

    def frame(self, x0, y0, x1, y1, colour):
        for x in range(x0, x1 + 1):
            self.set(x, y0, colour)
            self.set(x, y1, colour)
        for y in range(y0, y1 + 1):
            self.set(x0, y, colour)
            self.set(x1, y, colour)

    def box(self, x0, y0, x1, y1, fill, edge):
        self.rect(x0, y0, x1, y1, fill)
        self.frame(x0, y0, x1, y1, edge)

    def line(self, x0, y0, x1, y1, colour):
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
        err = dx + dy
        while True:
            self.set(x0, y0, colour)
            if x0 == x1 and y0 == y1:
                return
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy

    def disc(self, cx, cy, r, colour):
        for y in range(self.h):
            for x in range(self.w):
                if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                    self.set(x, y, colour)

    def ring(self, cx, cy, r, colour, width=1.0):
        for y in range(self.h):
            for x in range(self.w):
                d = math.hypot(x - cx, y - cy)
                if r - width / 2 <= d <= r + width / 2:
                    self.set(x, y, colour)

    def arc(self, cx, cy, r, start, end, colour, width=1.6):
        for y in range(self.h):
            for x in range(self.w):
                d = math.hypot(x - cx, y - cy)
                a = math.degrees(math.atan2(cy - y, x - cx)) % 360
                inside = start <= a <= end if start <= end else (a >= start or a <= end)
                if inside and r - width / 2 <= d <= r + width / 2:
                    self.set(x, y, colour)

    def polygon(self, points, colour):
        for y in range(self.h):
            yc = y + 0.5
            xs = []
            for (x0, y0), (x1, y1) in zip(points, points[1:] + points[:1]):
                if (y0 <= yc < y1) or (y1 <= yc < y0):
                    xs.append(x0 + (yc - y0) * (x1 - x0) / (y1 - y0))
            xs.sort()
            for a, b in zip(xs[0::2], xs[1::2]):
                for x in range(math.ceil(a - 0.5), math.floor(b - 0.5) + 1):
                    self.set(x, y, colour)

    def paste(self, other, ox, oy):
        for y in range(other.h):
            for x in range(other.w):
                c = other.px[y * other.w + x]
                if c[3]:
                    self.set(ox + x, oy + y, c)

    def png(self):
        raw = b"".join(
            b"\0" + bytes(v for p in self.px[y * self.w:(y + 1) * self.w] for v in p)
            for y in range(self.h))

        def chunk(kind, body):
            return (struct.pack(">I", len(body)) + kind + body +
                    struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

        header = struct.pack(">IIBBBBB", self.w, self.h, 8, 6, 0, 0, 0)
        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))

    def ppm(self):
        return (b"P6\n%d %d\n255\n" % (self.w, self.h) +
                bytes(v for p in self.px for v in p[:3]))


def blend(under, over):
    a = over[3] / 255
    return tuple(round(o * a + u * (1 - a)) for o, u in zip(over[:3], under[:3])) + (255,)


# --- parts shared by several pictures -------------------------------------------------

def computer(c, screen, ox=0, oy=0):
    c.box(ox + 1, oy + 1, ox + 14, oy + 10, LIGHT, OUTLINE)
    c.rect(ox + 3, oy + 3, ox + 12, oy + 8, screen)
    c.rect(ox + 6, oy + 11, ox + 9, oy + 12, GREY)
    c.box(ox + 3, oy + 13, ox + 12, oy + 14, GREY, OUTLINE)


def small_computer(c, screen, ox, oy):
    c.box(ox, oy, ox + 9, oy + 6, LIGHT, OUTLINE)
    c.rect(ox + 2, oy + 2, ox + 7, oy + 4, screen)
    c.rect(ox + 4, oy + 7, ox + 5, oy + 7, GREY)
    c.box(ox + 2, oy + 8, ox + 7, oy + 9, GREY, OUTLINE)


def document(c, ox=0, oy=0, lines=True):
    c.polygon([(ox + 3, oy + 1), (ox + 10, oy + 1), (ox + 13, oy + 4), (ox + 13, oy + 15),
               (ox + 3, oy + 15)], PAPER)
    c.line(ox + 3, oy + 1, ox + 9, oy + 1, PAPER_EDGE)
    c.line(ox + 3, oy + 1, ox + 3, oy + 14, PAPER_EDGE)
    c.line(ox + 3, oy + 14, ox + 12, oy + 14, PAPER_EDGE)
    c.line(ox + 12, oy + 4, ox + 12, oy + 14, PAPER_EDGE)
    c.line(ox + 9, oy + 1, ox + 12, oy + 4, PAPER_EDGE)
    c.line(ox + 9, oy + 1, ox + 9, oy + 4, PAPER_EDGE)
    c.line(ox + 9, oy + 4, ox + 12, oy + 4, PAPER_EDGE)
    if lines:
        for y in (6, 8, 10, 12):
            c.line(ox + 5, oy + y, ox + 10, oy + y, TEXT_LINE)


def small_document(c, ox, oy):
    c.box(ox, oy, ox + 7, oy + 9, PAPER, PAPER_EDGE)
    for y in (2, 4, 6):
        c.line(ox + 2, oy + y, ox + 5, oy + y, TEXT_LINE)


def grid_rows(c, ox=0, oy=0, rows=3):
    for i in range(rows):
        y = oy + 2 + i * 4
        c.box(ox + 1, y, ox + 14, y + 3, PAPER, PAPER_EDGE)
        c.line(ox + 5, y, ox + 5, y + 3, PAPER_EDGE)
        c.line(ox + 10, y, ox + 10, y + 3, PAPER_EDGE)


def plus(c, cx, cy, colour):
    c.rect(cx - 3, cy - 1, cx + 3, cy + 1, colour)
    c.rect(cx - 1, cy - 3, cx + 1, cy + 3, colour)
    c.frame(cx - 3, cy - 1, cx + 3, cy + 1, colour)


def cross(c, cx, cy, colour):
    for d in range(-3, 4):
        c.set(cx + d, cy + d, colour)
        c.set(cx + d + 1, cy + d, colour)
        c.set(cx + d, cy - d, colour)
        c.set(cx + d + 1, cy - d, colour)


def arrow_down(c, cx, top, bottom, colour):
    c.rect(cx - 1, top, cx + 1, bottom - 3, colour)
    c.polygon([(cx - 3.5, bottom - 3), (cx + 4.5, bottom - 3), (cx + 0.5, bottom + 1)], colour)


def arrow_up(c, cx, top, bottom, colour):
    c.rect(cx - 1, top + 3, cx + 1, bottom, colour)
    c.polygon([(cx - 3.5, top + 4), (cx + 4.5, top + 4), (cx + 0.5, top)], colour)


def arrow_right(c, left, right, cy, colour):
    c.rect(left, cy - 1, right - 3, cy + 1, colour)
    c.polygon([(right - 3, cy - 3.5), (right - 3, cy + 4.5), (right + 1, cy + 0.5)], colour)


def arrow_left(c, left, right, cy, colour):
    c.rect(left + 3, cy - 1, right, cy + 1, colour)
    c.polygon([(left + 4, cy - 3.5), (left + 4, cy + 4.5), (left, cy + 0.5)], colour)


def magnifier(c, cx, cy):
    c.disc(cx, cy, 2.6, LIGHT_BLUE)
    c.ring(cx, cy, 3, OUTLINE, 1.2)
    c.line(round(cx + 2), round(cy + 2), round(cx + 5), round(cy + 5), BROWN)
    c.line(round(cx + 3), round(cy + 2), round(cx + 5), round(cy + 4), BROWN)


def gear(c, cx, cy, r, colour):
    for k in range(8):
        a = math.radians(k * 45)
        tx, ty = cx + math.cos(a) * r, cy + math.sin(a) * r
        c.disc(tx, ty, 1.5, colour)
    c.disc(cx, cy, r - 0.6, colour)
    c.disc(cx, cy, r / 2.6, WHITE)


def info_sign(c, colour):
    c.disc(7.5, 7.5, 7, colour)
    c.rect(7, 3, 8, 4, WHITE)
    c.rect(7, 6, 8, 12, WHITE)
    c.rect(6, 6, 6, 6, WHITE)
    c.rect(6, 12, 9, 12, WHITE)


def circular_arrows(c, cx, cy, r, colour):
    c.arc(cx, cy, r, 20, 160, colour)
    c.arc(cx, cy, r, 200, 340, colour)
    c.polygon([(cx - r - 2.5, cy - 0.5), (cx - r + 2.5, cy - 0.5), (cx - r, cy + 2.5)], colour)
    c.polygon([(cx + r - 2.5, cy + 0.5), (cx + r + 2.5, cy + 0.5), (cx + r, cy - 2.5)], colour)


def two_documents(c):
    small_document(c, 1, 1)
    small_document(c, 5, 4)


# --- the server pane ------------------------------------------------------------------

def tree_server_off(c):
    computer(c, DARK_SCREEN)


def tree_server_on(c):
    computer(c, GREEN_SCREEN)
    c.line(4, 4, 7, 4, rgb("b8f0c0"))


def tree_drive(c):
    c.polygon([(2, 4), (13, 4), (15, 7), (0, 7)], LIGHT)
    c.line(2, 4, 13, 4, OUTLINE)
    c.box(0, 7, 15, 12, GREY, OUTLINE)
    c.line(1, 8, 14, 8, LIGHT)
    c.rect(11, 10, 12, 10, GREEN_SCREEN)
    c.line(2, 10, 7, 10, OUTLINE)


def tree_folder_closed(c):
    c.box(1, 2, 6, 4, FOLDER, FOLDER_EDGE)
    c.box(1, 4, 14, 13, FOLDER, FOLDER_EDGE)
    c.line(2, 5, 13, 5, FOLDER_FRONT)


def tree_folder_open(c):
    c.box(1, 2, 6, 4, FOLDER, FOLDER_EDGE)
    c.box(1, 4, 13, 13, FOLDER, FOLDER_EDGE)
    c.polygon([(4, 7), (16, 7), (13, 14), (1, 14)], FOLDER_FRONT)
    c.line(4, 7, 15, 7, FOLDER_EDGE)
    c.line(15, 7, 13, 13, FOLDER_EDGE)
    c.line(1, 13, 13, 13, FOLDER_EDGE)
    c.line(4, 7, 1, 13, FOLDER_EDGE)


def tree_document(c):
    document(c)


def tree_notice(c):
    info_sign(c, BLUE)


def tree_default_setting(c):
    c.box(1, 1, 14, 14, rgb("eef4ff"), BLUE)
    gear(c, 7.5, 7.5, 4.2, ORANGE)


# --- the main tool bar ----------------------------------------------------------------

def tool_auto_search(c):
    small_computer(c, DARK_SCREEN, 0, 0)
    magnifier(c, 9.5, 9.5)


def tool_add_server(c):
    small_computer(c, GREEN_SCREEN, 0, 0)
    plus(c, 11, 11, GREEN)


def tool_server_del(c):
    small_computer(c, GREEN_SCREEN, 0, 0)
    cross(c, 11, 11, RED)


def tool_reload(c):
    circular_arrows(c, 7.5, 7.5, 5.5, GREEN)
    c.rect(6, 6, 9, 9, GREEN_SCREEN)
    c.frame(6, 6, 9, 9, OUTLINE)


def tool_save(c):
    c.box(1, 1, 14, 14, BLUE, rgb("103070"))
    c.box(4, 1, 11, 6, LIGHT, OUTLINE)
    c.rect(8, 2, 9, 5, OUTLINE)
    c.box(3, 9, 12, 14, PAPER, OUTLINE)
    c.line(5, 11, 10, 11, TEXT_LINE)


def tool_version(c):
    c.disc(7.5, 7.5, 7, rgb("e8f0ff"))
    c.ring(7.5, 7.5, 6.6, BLUE, 1.2)
    c.polygon([(3, 10), (7, 4), (12, 6), (8, 8), (6, 12)], ORANGE)
    c.disc(10, 5.5, 1.2, BROWN)


def tool_help(c):
    c.box(2, 1, 13, 14, rgb("3a70c8"), rgb("1c3c80"))
    c.rect(3, 12, 13, 13, PAPER)
    c.line(6, 4, 9, 4, WHITE)
    c.set(10, 5, WHITE)
    c.set(10, 6, WHITE)
    c.line(9, 7, 8, 7, WHITE)
    c.set(7, 8, WHITE)
    c.set(7, 10, WHITE)
    c.set(5, 5, WHITE)


def tool_close(c):
    c.box(1, 1, 9, 14, rgb("c89a60"), BROWN)
    c.disc(7.5, 8, 0.8, OUTLINE)
    arrow_right(c, 8, 14, 8, RED)


# --- the grid tool bar ----------------------------------------------------------------

def tool_line_copy(c):
    grid_rows(c, 0, 0, 2)
    c.box(3, 10, 12, 13, rgb("cfe0ff"), BLUE)
    c.line(7, 10, 7, 13, BLUE)


def tool_line_paste(c):
    c.box(2, 2, 13, 15, rgb("c89a60"), BROWN)
    c.box(5, 1, 10, 3, GREY, OUTLINE)
    c.box(4, 5, 11, 13, PAPER, PAPER_EDGE)
    for y in (7, 9, 11):
        c.line(5, y, 10, y, TEXT_LINE)


def tool_line_del(c):
    grid_rows(c)
    cross(c, 11, 11, RED)


def tool_import(c):
    grid_rows(c, 2, 1)
    arrow_right(c, 0, 7, 12, GREEN)


def tool_export(c):
    grid_rows(c, -1, 1)
    arrow_right(c, 8, 15, 12, ORANGE)


def tool_grd_reload(c):
    document(c, -1, 0)
    arrow_down(c, 11, 5, 14, BLUE)


def tool_grd_all_reload(c):
    two_documents(c)
    arrow_down(c, 12, 4, 14, BLUE)


def tool_grd_save(c):
    document(c, -1, 0)
    arrow_up(c, 11, 5, 15, RED)


def tool_grd_all_save(c):
    two_documents(c)
    arrow_up(c, 12, 4, 15, RED)


def tool_default_set(c):
    gear(c, 5.5, 5.5, 3.6, ORANGE)
    small_computer(c, GREEN_SCREEN, 6, 6)


# --- busy animation: a magnifier searching over a computer -----------------------------

def busy_frame(index, count):
    def draw(c):
        computer(c, DARK_SCREEN)
        a = 2 * math.pi * index / count
        magnifier(c, 6.5 + 3 * math.cos(a), 5.5 + 2.5 * math.sin(a))
    return draw


def window_icon(c, k=1.0):
    c.disc(16 * k - 0.5, 16 * k - 0.5, 15 * k, rgb("2a5aa8"))
    kestrel(c, 0.095 * k, 2 * k, 3 * k)


def desktop_icon(size, oversample=4):
    """The window icon at any size: drawn that much larger and box-filtered down, so the
    edges are smooth where the 32-pixel picture is hard-edged."""
    big = Canvas(size * oversample, size * oversample)
    window_icon(big, size * oversample / 32)
    c = Canvas(size, size)
    n = oversample * oversample
    for y in range(size):
        for x in range(size):
            block = [big.px[(y * oversample + j) * big.w + x * oversample + i]
                     for j in range(oversample) for i in range(oversample)]
            alpha = sum(p[3] for p in block)
            if alpha:
                c.px[y * size + x] = tuple(
                    round(sum(p[ch] * p[3] for p in block) / alpha) for ch in range(3)) + (
                        round(alpha / n),)
    return c


# --- the version picture --------------------------------------------------------------

KESTREL = [(40, 190), (95, 150), (150, 135), (185, 100), (215, 60), (240, 35), (232, 80),
           (220, 120), (250, 112), (268, 98), (292, 96), (308, 106), (322, 112), (306, 118),
           (296, 132), (270, 150), (250, 175), (215, 195), (170, 205), (120, 205), (75, 200)]


def kestrel(c, scale, ox, oy):
    c.polygon([(ox + x * scale, oy + y * scale - 6 * scale) for x, y in KESTREL],
              rgb("f4f0e8"))


def version_picture():
    w, h = 480, 270
    c = Canvas(w, h)
    top, bottom = rgb("18305e"), rgb("5a8fd0")
    for y in range(h):
        t = y / (h - 1)
        colour = tuple(round(a + (b - a) * t) for a, b in zip(top[:3], bottom[:3])) + (255,)
        for x in range(w):
            c.px[y * w + x] = colour
    for i, r in enumerate(range(260, 60, -40)):
        c.ring(420, 300, r, rgb("ffffff", 18 + 6 * i), 14)
    c.polygon([(0, 230), (80, 212), (170, 222), (260, 206), (360, 218), (480, 204), (480, 270),
               (0, 270)], rgb("1a2d4a"))
    kestrel(c, 0.85, 185, 62)
    return c


def write(path, data):
    with open(os.path.join(HERE, path), "wb") as f:
        f.write(data)


def icon(draw, size=16):
    c = Canvas(size, size)
    draw(c)
    return c.png()


PANE = [tree_server_off, tree_server_on, tree_drive, tree_folder_closed, tree_folder_open,
        tree_document, tree_notice, tree_default_setting]
TOOLS = {
    "auto-search": tool_auto_search, "add-server": tool_add_server,
    "server-del": tool_server_del, "reload": tool_reload, "save": tool_save,
    "version": tool_version, "help": tool_help, "close": tool_close,
    "line-copy": tool_line_copy, "line-paste": tool_line_paste, "line-del": tool_line_del,
    "import": tool_import, "export": tool_export, "grd-reload": tool_grd_reload,
    "grd-all-reload": tool_grd_all_reload, "grd-save": tool_grd_save,
    "grd-all-save": tool_grd_all_save, "default-set": tool_default_set,
}
BUSY_FRAMES = 8
DESKTOP_ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)


def write_desktop_icons():
    os.makedirs(os.path.join(HERE, "icons"), exist_ok=True)
    for size in DESKTOP_ICON_SIZES:
        write(f"icons/{size}.png", desktop_icon(size).png())


def main():
    for sub in ("pane", "tools", "busy"):
        os.makedirs(os.path.join(HERE, sub), exist_ok=True)
    for i, draw in enumerate(PANE):
        write(f"pane/{i}.png", icon(draw))
    for name, draw in TOOLS.items():
        write(f"tools/{name}.png", icon(draw))
    for i in range(BUSY_FRAMES):
        write(f"busy/{i}.png", icon(busy_frame(i, BUSY_FRAMES)))
    write("kestrelview.png", icon(window_icon, 32))
    write_desktop_icons()

    with tempfile.TemporaryDirectory() as tmp:
        ppm = os.path.join(tmp, "version.ppm")
        with open(ppm, "wb") as f:
            f.write(version_picture().ppm())
        subprocess.run(
            ["convert", ppm, "-font", "DejaVu-Sans-Bold", "-fill", "white", "-pointsize", "30",
             "-annotate", "+24+56", "Kestrelview Manager", "-font", "DejaVu-Sans",
             "-pointsize", "18", "-annotate", "+26+86", "Ver2.00  for Linux",
             "-pointsize", "11", "-fill", "#c8d8f0", "-annotate", "+26+252",
             "Brindlecove  -  click the picture to close", "-quality", "90",
             "-sampling-factor", "2x2", "-strip", os.path.join(HERE, "version.jpg")],
            check=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
