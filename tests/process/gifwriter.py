"""A small GIF writer for test fixtures: every pixel is sent as a literal
LZW code, with clear codes often enough that the code width never grows,
so the files are simple to reason about and easy to damage on purpose."""
import struct


def lzw_literals(indices, root_bits=8):
    """Codes of a literal-only LZW stream for the indices."""
    clear, end = 1 << root_bits, (1 << root_bits) + 1
    codes = [clear]
    run = 0
    for index in indices:
        # After a clear the table grows by one entry per code; restart well
        # before it would need a wider code.
        if run == (1 << root_bits) - 4:
            codes.append(clear)
            run = 0
        codes.append(index)
        run += 1
    codes.append(end)
    return codes


def pack_codes(codes, width):
    """Codes of a fixed width, least significant bit first."""
    out, acc, held = bytearray(), 0, 0
    for code in codes:
        acc |= code << held
        held += width
        while held >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            held -= 8
    if held:
        out.append(acc & 0xFF)
    return bytes(out)


def sub_blocks(data, terminate=True):
    out = bytearray()
    for i in range(0, len(data), 255):
        chunk = data[i:i + 255]
        out += bytes([len(chunk)]) + chunk
    if terminate:
        out.append(0)
    return bytes(out)


def palette_bytes(colours):
    table = list(colours) + [0] * (256 - len(colours))
    return b"".join(struct.pack("BBB", c >> 16, (c >> 8) & 0xFF, c & 0xFF) for c in table)


def header(width, height, colours=None, aspect=0, version=b"89a"):
    flags = 0xF7 if colours is not None else 0
    out = b"GIF" + version + struct.pack("<HHBBB", width, height, flags, 0, aspect)
    if colours is not None:
        out += palette_bytes(colours)
    return out


def graphic_control(transparent):
    return b"!\xf9\x04" + struct.pack("<BHB", 1, 0, transparent) + b"\x00"


def descriptor(width, height, interlaced=False):
    return b"," + struct.pack("<HHHHB", 0, 0, width, height, 0x40 if interlaced else 0)


def stream_order(rows, interlaced):
    if not interlaced:
        return list(range(len(rows)))
    order = []
    for start, step in ((0, 8), (4, 8), (2, 4), (1, 2)):
        order += list(range(start, len(rows), step))
    return order


def image_data(rows, interlaced=False):
    """The LZW data of the rows (lists of indices), code size byte first."""
    indices = [i for y in stream_order(rows, interlaced) for i in rows[y]]
    return b"\x08" + sub_blocks(pack_codes(lzw_literals(indices), 9))


def gif(rows, colours, transparent=None, interlaced=False, aspect=0):
    height, width = len(rows), len(rows[0])
    out = header(width, height, colours, aspect)
    if transparent is not None:
        out += graphic_control(transparent)
    return out + descriptor(width, height, interlaced) + image_data(rows, interlaced) + b";"
