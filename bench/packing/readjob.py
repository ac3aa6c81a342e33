#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 Corvane developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""A second reader of Photon Workshop and CTB (versions 2 and 3) job files, written from the
format notes alone and sharing nothing with the agent's C++: it checks every table the notes
describe, decodes every layer, and, given the job folder the file was packed from, compares each
layer with the slicer's layer PNG reduced to the format's grey depth.

    readjob.py JOBFILE [JOBFOLDER]

Standard library only. Exit status 0 when the file is whole and every layer matches."""

import json
import os
import struct
import sys
import zlib


class Damaged(Exception):
    pass


def need(condition, message):
    if not condition:
        raise Damaged(message)


# ---------------------------------------------------------------- Photon Workshop

PW_MARK_SIZE = {1: 48, 515: 48, 516: 52, 517: 56, 518: 64}
PW_TABLES = {1: 4, 515: 5, 516: 8, 517: 9, 518: 11}
PW_HEADER_LENGTH = {1: 80, 515: 80, 516: 84, 517: 92, 518: 96}


def table_name(data, at):
    return data[at:at + 12].split(b"\0", 1)[0].decode("ascii", "replace")


def read_pw(data):
    need(data[:12] == b"ANYCUBIC" + b"\0" * 4, "file mark is not ANYCUBIC")
    version, tables = struct.unpack_from("<II", data, 12)
    need(version in PW_MARK_SIZE, "unknown version %d" % version)
    need(tables == PW_TABLES[version], "table count %d for version %d" % (tables, version))
    mark = struct.unpack_from("<%dI" % ((PW_MARK_SIZE[version] - 20) // 4), data, 20)
    header_at, software_at, preview_at, colour_at, layerdef_at = mark[:5]
    if version >= 516:
        extra_at, machine_at, data_at = mark[5:8]
    else:
        data_at = mark[6]
        need(mark[5] == (data_at if version == 515 else 0), "offset 40 of the file mark")
    info = {"format": "Photon Workshop", "version": version}

    need(table_name(data, header_at) == "HEADER", "HEADER name")
    need(struct.unpack_from("<I", data, header_at + 12)[0] == PW_HEADER_LENGTH[version],
         "HEADER length")
    h = header_at
    (info["pixel_um"], info["layer_height"], info["exposure"], info["light_off"],
     info["bottom_exposure"], bottom_layers, info["lift_height"], info["lift_speed_mm_s"],
     info["retract_speed_mm_s"], info["volume"]) = struct.unpack_from("<10f", data, h + 16)
    info["bottom_layers"] = bottom_layers
    need(bottom_layers == int(bottom_layers), "bottom layers is not a whole count")
    aa, width, height = struct.unpack_from("<3I", data, h + 56)
    need(aa == 1, "anti-aliasing %d" % aa)
    info["resolution"] = (width, height)
    info["print_time"] = struct.unpack_from("<I", data, h + 84)[0]

    need(table_name(data, preview_at) == "PREVIEW", "PREVIEW name")
    plen, pw, px, ph = struct.unpack_from("<II4sI", data, preview_at + 12)
    need((pw, ph) == (224, 168) and plen == 28 + 2 * pw * ph, "PREVIEW size")
    need(px == b"x\0\0\0", "PREVIEW separator")

    if version >= 515:
        need(colour_at == preview_at + plen, "colour table follows PREVIEW")
        full, count = struct.unpack_from("<II", data, colour_at)
        need(full == 0 and count == 16 and data[colour_at + 8:colour_at + 24] == b"\xff" * 16,
             "colour table")
    need(table_name(data, layerdef_at) == "LAYERDEF", "LAYERDEF name")
    length, layers = struct.unpack_from("<II", data, layerdef_at + 12)
    need(length == 4 + 32 * layers, "LAYERDEF length")
    entries = []
    for i in range(layers):
        address, size, lift, speed, exposure, thickness, nonzero, zero = struct.unpack_from(
            "<II4fII", data, layerdef_at + 20 + 32 * i)
        need(address + size <= len(data), "layer %d beyond the file" % i)
        entries.append((address, size, nonzero))
    if version >= 516:
        need(table_name(data, extra_at) == "EXTRA", "EXTRA name")
        need(struct.unpack_from("<I", data, extra_at + 12)[0] == 24, "EXTRA length")
        need(table_name(data, machine_at) == "MACHINE", "MACHINE name")
        mlen = struct.unpack_from("<I", data, machine_at + 12)[0]
        need(mlen == (224 if version == 518 else 156), "MACHINE length")
        info["machine"] = data[machine_at + 16:machine_at + 112].split(b"\0", 1)[0].decode()
        need(data[machine_at + 112:machine_at + 128].split(b"\0", 1)[0] == b"pw0Img",
             "layer image format")
        mversion, background = struct.unpack_from("<II", data, machine_at + 148)
        need(background == 6506241, "machine background")
        if version == 518:
            info["pixel_um_xy"] = struct.unpack_from("<2f", data, machine_at + 156)
            rx, ry = struct.unpack_from("<2H", data, machine_at + 204)
            need((rx, ry) == (width, height), "MACHINE resolution")
    if version >= 517:
        need(struct.unpack_from("<I", data, software_at + 32)[0] == 164, "software table")
        model_at = mark[8]
        need(table_name(data, model_at) == "MODEL", "MODEL name")
        need(struct.unpack_from("<I", data, model_at + 12)[0] == 48, "MODEL length")
        box = struct.unpack_from("<6f", data, model_at + 16)
        need(box[0] <= box[3] and box[1] <= box[4] and box[2] <= box[5], "MODEL box")
        info["model_box_mm"] = tuple(round(v, 3) for v in box)
    if version == 518:
        sub_at, preview2_at = mark[9], mark[10]
        need(table_name(data, sub_at) == "SUBIMGS", "SUBIMGS name")
        slen, scount, one = struct.unpack_from("<3I", data, sub_at + 12)
        need(slen == 24 + 44 * layers and scount == layers and one == 1, "SUBIMGS head")
        for i in range(layers):
            need(struct.unpack_from("<3I", data, sub_at + 24 + 44 * i) == entries[i],
                 "SUBIMGS entry %d" % i)
        need(table_name(data, preview2_at) == "PREVIEW2", "PREVIEW2 name")
        p2 = struct.unpack_from("<IIHHI", data, preview2_at + 12)
        need(p2 == (28 + 2 * 330 * 190, 330, 4293, 0, 190), "PREVIEW2 head")
    if layers:
        need(entries[0][0] == data_at, "file mark's layer-data address is not layer 0's")
        for i in range(1, layers):
            need(entries[i][0] == entries[i - 1][0] + entries[i - 1][1],
                 "layer %d does not follow layer %d" % (i, i - 1))
        need(entries[-1][0] + entries[-1][1] == len(data), "bytes after the last layer")
    info["layers"] = layers

    def layer(i):
        address, size, nonzero = entries[i]
        pieces, total, at, end = [], 0, address, address + size
        while at < end:
            code = data[at] >> 4
            if code in (0, 15):
                need(at + 1 < end, "layer %d ends inside a run" % i)
                run = (data[at] & 0x0F) << 8 | data[at + 1]
                at += 2
            else:
                run = data[at] & 0x0F
                at += 1
            need(run > 0, "layer %d: a run of length 0" % i)
            pieces.append(bytes([code * 17]) * run)
            total += run
        need(total == width * height, "layer %d covers %d of %d pixels" % (i, total,
                                                                         width * height))
        image = b"".join(pieces)
        need(width * height - image.count(0) == nonzero, "layer %d non-zero count" % i)
        return image

    reduce = bytes((g >> 4) * 17 for g in range(256))
    return info, layer, reduce


# ---------------------------------------------------------------- CTB


def ctb_keystream(key, index, size):
    step = (key * 0x2D83CDAC + 0xD8A83423) & 0xFFFFFFFF
    word = ((index * 0x1E1530CD + 0xEC3D47CD) * step) & 0xFFFFFFFF
    out = bytearray()
    while len(out) < size:
        out += struct.pack("<I", word)
        word = (word + step) & 0xFFFFFFFF
    return bytes(out[:size])


def ctb_preview(data, at):
    width, height, runs_at, runs_len = struct.unpack_from("<4I", data, at)
    count, pos = 0, runs_at
    while pos < runs_at + runs_len:
        word = struct.unpack_from("<H", data, pos)[0]
        pos += 2
        n = 1
        if word & 0x20:
            extra = struct.unpack_from("<H", data, pos)[0]
            pos += 2
            need(extra & 0xF000 == 0x3000, "preview run word")
            n = 1 + (extra & 0x0FFF)
        count += n
    need(count == width * height and pos == runs_at + runs_len, "preview runs")
    return width, height


def read_ctb(data):
    fields = struct.unpack_from("<II3fII5fI3I6I2I2H3I", data, 0)
    (magic, version, disp_w, disp_h, build_h, _z1, _z2, model_h, layer_h, exposure,
     bottom_exposure, light_off, bottom_layers, width, height, large_at, table_at, layers,
     small_at, print_time, projection, params_at, params_size, levels, pwm, bottom_pwm, key,
     slicer_at, slicer_size) = fields
    need(magic == 0x12FD0086, "magic %08x" % magic)
    need(version in (2, 3), "version %d" % version)
    need(params_size == 60 and slicer_size == 76 and levels == 1, "header sizes")
    need(ctb_preview(data, large_at) == (400, 300), "large preview size")
    need(ctb_preview(data, small_at) == (200, 125), "small preview size")
    p = struct.unpack_from("<10fI3II", data, params_at)
    need(p[10] == bottom_layers, "bottom layers differ")
    need(p[9] == light_off, "light-off delay differs")
    need(p[14] == (0x1234 if version == 2 else 0), "print parameters' last word")
    name_at, name_len = struct.unpack_from("<II", data, slicer_at + 28)
    need(name_at == slicer_at + 76, "machine name place")
    info = {"format": "CTB", "version": version, "resolution": (width, height),
            "machine": data[name_at:name_at + name_len].decode(), "layers": layers,
            "key": "%08x" % key, "mirrored": projection, "layer_height": layer_h,
            "exposure": exposure, "bottom_exposure": bottom_exposure,
            "bottom_layers": bottom_layers, "lift_mm_min": p[3], "retract_mm_min": p[4]}
    need(table_at == name_at + name_len, "layer table follows the machine name")
    entries = []
    end_of_previous = table_at + 36 * layers
    for i in range(layers):
        z, exp, off, offset, size, page, entry_size, _a, _b = struct.unpack_from(
            "<3f6I", data, table_at + 36 * i)
        address = page << 32 | offset
        if version == 3:
            need(entry_size == 84, "layer %d entry size" % i)
            ext = address - 84
            need(data[ext:ext + 36] == data[table_at + 36 * i:table_at + 36 * (i + 1)],
                 "layer %d extended entry differs" % i)
            need(struct.unpack_from("<I", data, ext + 36)[0] == 84 + size,
                 "layer %d extended total" % i)
            need(ext == end_of_previous, "layer %d is not where the previous ended" % i)
        else:
            need(address == end_of_previous, "layer %d is not where the previous ended" % i)
        end_of_previous = address + size
        need(abs(z - (i + 1) * layer_h) < 1e-3, "layer %d height %f" % (i, z))
        need(exp == (bottom_exposure if i < bottom_layers else exposure), "layer %d exposure" % i)
        entries.append((address, size))
    need(end_of_previous == len(data), "bytes after the last layer")

    def layer(i):
        address, size = entries[i]
        raw = data[address:address + size]
        if key:
            stream = ctb_keystream(key, i, size)
            raw = bytes(a ^ b for a, b in zip(raw, stream))
        pieces, total, at = [], 0, 0
        while at < size:
            code = raw[at]
            at += 1
            grey = code & 0x7F
            run = 1
            if code & 0x80:
                first = raw[at]
                if first < 0x80:
                    n, run = 1, first
                elif first < 0xC0:
                    n, run = 2, first & 0x3F
                elif first < 0xE0:
                    n, run = 3, first & 0x1F
                elif first < 0xF0:
                    n, run = 4, first & 0x0F
                else:
                    raise Damaged("layer %d: undefined length byte" % i)
                for k in range(1, n):
                    run = run << 8 | raw[at + k]
                at += n
                need(run > 0, "layer %d: run of length 0" % i)
            pieces.append(bytes([grey << 1 | 1 if grey else 0]) * run)
            total += run
        need(total == width * height, "layer %d covers %d of %d pixels" % (i, total,
                                                                         width * height))
        return b"".join(pieces)

    reduce = bytes(((g >> 1) << 1 | 1) if g >> 1 else 0 for g in range(256))
    return info, layer, reduce


# ---------------------------------------------------------------- PNG (greyscale, 8-bit)


def png_grey(path):
    with open(path, "rb") as f:
        png = f.read()
    need(png[:8] == b"\x89PNG\r\n\x1a\n", "%s is not a PNG" % path)
    at, idat = 8, []
    while at < len(png):
        length, kind = struct.unpack_from(">I4s", png, at)
        body = png[at + 8:at + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack_from(">IIBB", body)
            need(depth == 8 and colour == 0, "%s is not 8-bit grey" % path)
        elif kind == b"IDAT":
            idat.append(body)
        at += 12 + length
    raw = zlib.decompress(b"".join(idat))
    stride = width + 1
    rows, previous = [], bytes(width)
    for y in range(height):
        kind, row = raw[y * stride], bytearray(raw[y * stride + 1:(y + 1) * stride])
        if kind == 1:
            for x in range(1, width):
                row[x] = (row[x] + row[x - 1]) & 0xFF
        elif kind == 2:
            row = bytearray((a + b) & 0xFF for a, b in zip(row, previous))
        elif kind in (3, 4):
            for x in range(width):
                left = row[x - 1] if x else 0
                up = previous[x]
                if kind == 3:
                    row[x] = (row[x] + (left + up) // 2) & 0xFF
                else:
                    upleft = previous[x - 1] if x else 0
                    p = left + up - upleft
                    pa, pb, pc = abs(p - left), abs(p - up), abs(p - upleft)
                    pred = left if pa <= pb and pa <= pc else up if pb <= pc else upleft
                    row[x] = (row[x] + pred) & 0xFF
        previous = bytes(row)
        rows.append(previous)
    return width, height, b"".join(rows)


def main():
    if len(sys.argv) not in (2, 3):
        print(__doc__)
        return 2
    with open(sys.argv[1], "rb") as f:
        data = f.read()
    try:
        if data[:8] == b"ANYCUBIC":
            info, layer, reduce = read_pw(data)
        else:
            info, layer, reduce = read_ctb(data)
        plate = None
        if len(sys.argv) == 3:
            with open(os.path.join(sys.argv[2], "plate.json")) as f:
                plate = json.load(f)
            need(len(plate["layers"]) == info["layers"], "layer count differs from the job's")
        equal = 0
        for i in range(info["layers"]):
            image = layer(i)
            if plate:
                w, h, grey = png_grey(os.path.join(sys.argv[2], plate["layers"][i]))
                need((w, h) == info["resolution"], "layer %d resolution" % i)
                need(image == grey.translate(reduce), "layer %d differs from its PNG" % i)
                equal += 1
    except (Damaged, struct.error, IndexError) as e:
        print("%s: damaged: %s" % (sys.argv[1], e))
        return 1
    print("%s: %s" % (sys.argv[1], ", ".join("%s %s" % kv for kv in info.items())))
    if plate:
        print("every one of the %d layers equals the job's layer image at the format's grey "
              "depth" % equal)
    else:
        print("all %d layers decode to the full display" % info["layers"])
    return 0


if __name__ == "__main__":
    sys.exit(main())
