#!/usr/bin/env python3
"""Writes a PNG of the whole X screen ($DISPLAY) to the path given: what the
screen shows, read with one GetImage of the root window.

Not xwd: under Wine its picture is wrong. Wine's windows carry a colormap of
their own and its layered ones a 32-bit visual, so xwd reads each window by
itself, and where a window lies over another of the same kind it takes that
area from the lower one, whose covered parts the X server returns black."""
import ctypes
import ctypes.util
import struct
import sys
import zlib

ZPIXMAP = 2
ALL_PLANES = 0xFFFFFFFF


class XImage(ctypes.Structure):
    _fields_ = [
        ("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
        ("format", ctypes.c_int), ("data", ctypes.POINTER(ctypes.c_ubyte)),
        ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
        ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
        ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
        ("bits_per_pixel", ctypes.c_int), ("red_mask", ctypes.c_ulong),
        ("green_mask", ctypes.c_ulong), ("blue_mask", ctypes.c_ulong),
    ]


def grab():
    """(width, height, rows of RGB bytes) of the root window."""
    x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    x11.XDisplayWidth.argtypes = x11.XDisplayHeight.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x11.XDefaultScreen.argtypes = [ctypes.c_void_p]
    x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                              ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
    x11.XGetImage.restype = ctypes.POINTER(XImage)
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    display = x11.XOpenDisplay(None)
    if not display:
        sys.exit("screen-png: cannot open the display")
    screen = x11.XDefaultScreen(display)
    width, height = x11.XDisplayWidth(display, screen), x11.XDisplayHeight(display, screen)
    image = x11.XGetImage(display, x11.XDefaultRootWindow(display), 0, 0, width, height, ALL_PLANES, ZPIXMAP)
    if not image or image.contents.bits_per_pixel != 32:
        sys.exit("screen-png: the screen is not 24 or 32 bits deep")
    img = image.contents
    raw = ctypes.string_at(img.data, img.bytes_per_line * height)
    shifts = [(mask & -mask).bit_length() - 1 for mask in (img.red_mask, img.green_mask, img.blue_mask)]
    big_endian = img.byte_order == 1  # MSBFirst
    rows = []
    for y in range(height):
        line = raw[y * img.bytes_per_line:y * img.bytes_per_line + width * 4]
        rgb = bytearray(width * 3)
        for channel, shift in enumerate(shifts):
            byte = 3 - shift // 8 if big_endian else shift // 8
            rgb[channel::3] = line[byte::4]
        rows.append(bytes(rgb))
    x11.XCloseDisplay(display)
    return width, height, rows


def png(width, height, rows):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    pixels = zlib.compress(b"".join(b"\0" + row for row in rows), 6)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", pixels) + chunk(b"IEND", b"")


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: screen-png.py OUT.png")
    with open(sys.argv[1], "wb") as out:
        out.write(png(*grab()))
