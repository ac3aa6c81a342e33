#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 Corvane developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""An independent reader of GOO job files, written from the format notes alone.

    goocheck.py FILE.goo [JOB_FOLDER]

Checks the whole file (header size and constants, every layer record, its checksum, that its
runs cover exactly the display, the ending) and prints the header. With JOB_FOLDER (a sliced job:
plate.json and one 8-bit greyscale PNG per layer) it also compares every layer, pixel for pixel,
with the job's layer images. Exit status 0 when everything holds.
"""
import json
import os
import struct
import sys
import zlib

HEADER_SIZE = 0x2FB95
MAGIC = bytes([0x07, 0x00, 0x00, 0x00, 0x44, 0x4C, 0x50, 0x00])
ENDING = bytes([0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00, 0x44, 0x4C, 0x50, 0x00])


class Damaged(Exception):
    pass


def text(raw):
    return raw.split(b"\0", 1)[0].decode("utf-8", "replace")


def parse_header(h):
    if len(h) < HEADER_SIZE:
        raise Damaged("shorter than the header")
    if h[0:4] != b"V3.0" or h[4:12] != MAGIC:
        raise Damaged("no V3.0 version and tag")
    f = {
        "software": text(h[12:44]),
        "software_version": text(h[44:68]),
        "file_time": text(h[68:92]),
        "printer_name": text(h[92:124]),
        "printer_type": text(h[124:156]),
        "profile_name": text(h[156:188]),
    }
    f["anti_aliasing"], f["grey_level"], f["blur_level"] = struct.unpack(">HHH", h[188:194])
    small = 194
    big = small + 116 * 116 * 2 + 2
    if h[big - 2:big] != b"\r\n" or h[big + 290 * 290 * 2:big + 290 * 290 * 2 + 2] != b"\r\n":
        raise Damaged("preview delimiters missing")
    p = big + 290 * 290 * 2 + 2
    assert p == 0x2FAEE
    (f["layer_count"], f["x_res"], f["y_res"], f["x_mirror"], f["y_mirror"]) = struct.unpack(
        ">IHHBB", h[p:p + 10])
    p += 10
    names = ["x_size", "y_size", "z_size", "layer_thickness", "exposure"]
    for n, v in zip(names, struct.unpack(">5f", h[p:p + 20])):
        f[n] = v
    p += 20
    f["delay_mode"] = h[p]
    p += 1
    names = ["turn_off", "bottom_wait_before_lift", "bottom_wait_after_lift",
             "bottom_wait_after_retract", "wait_before_lift", "wait_after_lift",
             "wait_after_retract", "bottom_exposure"]
    for n, v in zip(names, struct.unpack(">8f", h[p:p + 32])):
        f[n] = v
    p += 32
    (f["bottom_layers"],) = struct.unpack(">I", h[p:p + 4])
    p += 4
    names = ["bottom_lift_distance", "bottom_lift_speed", "lift_distance", "lift_speed",
             "bottom_retract_distance", "bottom_retract_speed", "retract_distance",
             "retract_speed", "bottom_lift2_distance", "bottom_lift2_speed", "lift2_distance",
             "lift2_speed", "bottom_retract2_distance", "bottom_retract2_speed",
             "retract2_distance", "retract2_speed"]
    for n, v in zip(names, struct.unpack(">16f", h[p:p + 64])):
        f[n] = v
    p += 64
    f["bottom_pwm"], f["pwm"], f["advance_mode"] = struct.unpack(">HHB", h[p:p + 5])
    p += 5
    f["print_time"], f["volume_mm3"], f["weight_g"], f["price"] = struct.unpack(">Ifff", h[p:p + 16])
    p += 16
    f["price_unit"] = text(h[p:p + 8])
    p += 8
    f["content_offset"], f["grey_scale_level"], f["transition_layers"] = struct.unpack(
        ">IBH", h[p:p + 7])
    p += 7
    if p != HEADER_SIZE:
        raise Damaged("header fields do not add up")
    if f["content_offset"] != HEADER_SIZE:
        raise Damaged("layer content offset is not 0x2FB95")
    if f["grey_scale_level"] != 1:
        raise Damaged("grey-scale level is not 1")
    return f


def decode_runs(chunks, count):
    """The image the chunks describe, as bytes; every rule of the notes is checked."""
    out = bytearray(count)
    at = 0
    i = 0
    previous = 0
    n = len(chunks)
    while i < n:
        head = chunks[i]
        i += 1
        kind = head >> 6
        if kind == 2:
            d = head & 0x0F
            grey = previous - d if head & 0x20 else previous + d
            if not 0 <= grey <= 255:
                raise Damaged("difference leaves 0..255")
            length = 1
            if head & 0x10:
                length = chunks[i]
                i += 1
        else:
            if kind == 0:
                grey = 0
            elif kind == 3:
                grey = 255
            else:
                grey = chunks[i]
                i += 1
                if grey in (0, 255):
                    raise Damaged("grey 0 or 255 in a type-01 chunk")
            extra = (head >> 4) & 3
            length = 0
            for _ in range(extra):  # most significant byte first, above the low nibble
                length = (length << 8) | chunks[i]
                i += 1
            length = (length << 4) | (head & 0x0F)
        if length == 0:
            raise Damaged("run of length 0")
        if at + length > count:
            raise Damaged("runs overrun the display")
        out[at:at + length] = bytes([grey]) * length
        at += length
        previous = grey
    if at != count:
        raise Damaged("runs cover %d of %d pixels" % (at, count))
    return out


def read_goo(path, on_layer=None):
    with open(path, "rb") as f:
        data = f.read()
    h = parse_header(data[:HEADER_SIZE])
    count = h["x_res"] * h["y_res"]
    p = HEADER_SIZE
    for k in range(h["layer_count"]):
        if p + 72 > len(data):
            raise Damaged("ends inside layer %d" % (k + 1))
        (pause,) = struct.unpack(">H", data[p:p + 2])
        values = struct.unpack(">15f", data[p + 2:p + 62])
        (pwm,) = struct.unpack(">H", data[p + 62:p + 64])
        if data[p + 64:p + 66] != b"\r\n":
            raise Damaged("layer %d: no delimiter before the data size" % (k + 1))
        (size,) = struct.unpack(">I", data[p + 66:p + 70])
        if data[p + 70] != 0x55:
            raise Damaged("layer %d: no 0x55 tag" % (k + 1))
        chunks = data[p + 71:p + 71 + size - 2]
        checksum = data[p + 69 + size]
        if (0xFF - (sum(chunks) & 0xFF)) != checksum:
            raise Damaged("layer %d: checksum" % (k + 1))
        if data[p + 70 + size:p + 72 + size] != b"\r\n":
            raise Damaged("layer %d: no closing delimiter" % (k + 1))
        image = decode_runs(chunks, count)
        if on_layer:
            on_layer(k, image, pause, values, pwm)
        p += 72 + size
    if data[p:] != ENDING:
        raise Damaged("the file does not end with the 11-byte ending right after the last layer")
    return h


def read_png_grey(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG: " + path)
    p = 8
    idat = bytearray()
    while p < len(data):
        (length,) = struct.unpack(">I", data[p:p + 4])
        kind = data[p + 4:p + 8]
        body = data[p + 8:p + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            if depth != 8 or colour != 0:
                raise ValueError("not 8-bit grey: " + path)
        elif kind == b"IDAT":
            idat += body
        p += 12 + length
    raw = zlib.decompress(bytes(idat))
    stride = width + 1
    out = bytearray(width * height)
    previous = bytearray(width)
    for y in range(height):
        filt = raw[y * stride]
        row = bytearray(raw[y * stride + 1:(y + 1) * stride])
        if filt == 0:
            pass
        elif filt == 2:
            row = bytearray((a + b) & 0xFF for a, b in zip(row, previous))
        else:  # the slicer writes filter 0; others need no support here
            raise ValueError("row filter %d in %s" % (filt, path))
        out[y * width:(y + 1) * width] = row
        previous = row
    return width, height, bytes(out)


def main():
    if len(sys.argv) not in (2, 3):
        print(__doc__.strip())
        return 2
    job = sys.argv[2] if len(sys.argv) == 3 else None
    layers = []
    if job:
        with open(os.path.join(job, "plate.json")) as f:
            layers = json.load(f)["layers"]
    mismatches = []

    def compare(k, image, pause, values, pwm):
        if job:
            width, height, expected = read_png_grey(os.path.join(job, layers[k]))
            if expected != bytes(image):
                mismatches.append(k)

    try:
        h = read_goo(sys.argv[1], compare)
    except Damaged as e:
        print("DAMAGED:", e)
        return 1
    for key, value in h.items():
        print("%s: %s" % (key, value))
    if job:
        if len(layers) != h["layer_count"]:
            print("layer count %d, job has %d" % (h["layer_count"], len(layers)))
            return 1
        if mismatches:
            print("layers differing from the job's images:", mismatches[:20])
            return 1
        print("all %d layers equal the job's layer images" % len(layers))
    print("OK")
    return 0


if __name__ == "__main__":
    sys.exit(main())
