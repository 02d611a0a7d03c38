#!/usr/bin/python3
"""Draws the program's bitmaps and cursors as PNG files beside this script.

Shapes are drawn eight times larger and scaled down, so edges come out
smooth. Run it with Debian's python3 (it needs PIL) after changing a shape:
    /usr/bin/python3 src/gui/resources/make-bitmaps.py
"""
import os

from PIL import Image, ImageDraw

HERE = os.path.dirname(os.path.abspath(__file__))
OVERSAMPLE = 8

INK = (47, 62, 78, 255)
GREEN = (63, 163, 77, 255)
RED = (217, 69, 59, 255)
WHITE = (255, 255, 255, 255)
GREY = (221, 228, 235, 255)
BOX = (242, 180, 65, 255)
BOX_DARK = (217, 154, 34, 255)
BLACK = (0, 0, 0, 255)


class Canvas:
    """A square picture of `units` units a side, drawn at `pixels_per_unit`."""

    def __init__(self, units, pixels_per_unit):
        self.scale = pixels_per_unit * OVERSAMPLE
        self.size = units * pixels_per_unit
        side = units * self.scale
        self.image = Image.new("RGBA", (side, side), (0, 0, 0, 0))
        self.draw = ImageDraw.Draw(self.image)

    def _xy(self, points):
        return [(x * self.scale, y * self.scale) for x, y in points]

    def polygon(self, points, fill):
        self.draw.polygon(self._xy(points), fill=fill)

    def rect(self, x0, y0, x1, y1, fill, radius=0.0, grow=0.0):
        box = self._xy([(x0 - grow, y0 - grow), (x1 + grow, y1 + grow)])
        self.draw.rounded_rectangle(box, radius=(radius + grow) * self.scale, fill=fill)

    def capsule(self, p, q, width, fill, grow=0.0):
        """A thick line with round ends."""
        w = (width + 2 * grow) * self.scale
        (px, py), (qx, qy) = self._xy([p, q])
        self.draw.line([(px, py), (qx, qy)], fill=fill, width=int(round(w)))
        for cx, cy in ((px, py), (qx, qy)):
            self.draw.ellipse([cx - w / 2, cy - w / 2, cx + w / 2, cy + w / 2], fill=fill)

    def save(self, name):
        small = self.image.convert("RGBa").resize((self.size, self.size), Image.LANCZOS)
        small.convert("RGBA").save(os.path.join(HERE, name), optimize=True)


def outlined_polygon(c, points, fill, outline=INK, width=1.0):
    """A polygon with an outline `width` units wide, drawn by insetting."""
    c.polygon(points, outline)
    cx = sum(x for x, _ in points) / len(points)
    cy = sum(y for _, y in points) / len(points)
    # Shrink toward the centroid: good enough for the convex shapes used here.
    inset = []
    for x, y in points:
        dx, dy = x - cx, y - cy
        length = max((dx * dx + dy * dy) ** 0.5, 1e-6)
        inset.append((x - dx / length * width, y - dy / length * width))
    c.polygon(inset, fill)


def upload_glyph(c):
    # A tray with a green arrow rising out of it.
    c.rect(1.5, 12, 14.5, 15, INK, radius=1)
    c.rect(2.5, 12.8, 13.5, 14.2, GREY, radius=0.5)
    arrow = [(8, 0.8), (14.2, 7.2), (10.6, 7.2), (10.6, 12.2), (5.4, 12.2), (5.4, 7.2), (1.8, 7.2)]
    c.polygon(arrow, INK)
    inner = [(8, 2.6), (12, 6.3), (9.7, 6.3), (9.7, 11.3), (6.3, 11.3), (6.3, 6.3), (4, 6.3)]
    c.polygon(inner, GREEN)


def stop_upload_glyph(c):
    octagon = [(5, 0.5), (11, 0.5), (15.5, 5), (15.5, 11), (11, 15.5), (5, 15.5), (0.5, 11),
               (0.5, 5)]
    outlined_polygon(c, octagon, RED, width=1.1)
    c.rect(5, 5, 11, 11, WHITE, radius=0.6)


def upload_box_tile(c):
    # A parcel: the tiles travel along the status bar while an upload runs.
    c.rect(1, 3, 15, 15, INK, radius=1.2)
    c.rect(2, 4, 14, 14, BOX, radius=0.6)
    c.rect(2, 4, 14, 6.5, BOX_DARK, radius=0.6)
    c.rect(7, 4, 9, 14, WHITE)
    c.rect(1, 6.2, 15, 7, INK)


def open_hand(c, grow):
    fill = BLACK if grow else WHITE
    for x0, top in ((10.0, 6.5), (13.4, 4.5), (16.8, 5.0), (20.2, 8.0)):
        c.capsule((x0 + 1.3, top), (x0 + 1.3, 18), 2.6, fill, grow)
    c.capsule((7.2, 15.2), (11.5, 21.5), 2.9, fill, grow)
    c.rect(10, 15.5, 23.1, 27, fill, radius=4, grow=grow)
    c.rect(11.5, 24, 21.5, 29.5, fill, radius=1, grow=grow)


def grab_hand(c, grow):
    fill = BLACK if grow else WHITE
    for x0, top in ((10.0, 12.5), (13.4, 11.5), (16.8, 11.8), (20.2, 13.0)):
        c.capsule((x0 + 1.3, top), (x0 + 1.3, 17), 2.6, fill, grow)
    c.rect(10, 15.5, 23.1, 27, fill, radius=4, grow=grow)
    c.rect(11.5, 24, 21.5, 29.5, fill, radius=1, grow=grow)
    c.capsule((8.2, 17.0), (12.5, 20.5), 2.9, fill, grow)


def hand_cursor(shape, name):
    c = Canvas(32, 1)
    shape(c, 1.0)  # the black rim
    shape(c, 0.0)  # the white hand
    c.save(os.path.join("cursors", name))


def bitmap(draw, name):
    for factor, suffix in ((1, ""), (2, "@2x")):
        c = Canvas(16, factor)
        draw(c)
        c.save(os.path.join("bitmaps", name + suffix + ".png"))


if __name__ == "__main__":
    bitmap(upload_glyph, "UPLOAD_BMP")
    bitmap(stop_upload_glyph, "STOPUPLOAD_BMP")
    bitmap(upload_box_tile, "UPLOAD_BOX_BMP")
    hand_cursor(open_hand, "HANDFLATCURSOR.png")
    hand_cursor(grab_hand, "HANDGRABCURSOR.png")
