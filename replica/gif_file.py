"""A GIF file (GIF89a, one image, global palette, LZW-compressed) for the replica's picture scripts."""
import struct


def lzw(indices, min_code_size):
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    out, bit_buffer, bit_count = bytearray(), 0, 0

    def emit(code, size):
        nonlocal bit_buffer, bit_count
        bit_buffer |= code << bit_count
        bit_count += size
        while bit_count >= 8:
            out.append(bit_buffer & 0xFF)
            bit_buffer >>= 8
            bit_count -= 8

    table = {(i,): i for i in range(clear)}
    next_code, size = end + 1, min_code_size + 1
    emit(clear, size)
    prefix = (indices[0],)
    for value in indices[1:]:
        candidate = prefix + (value,)
        if candidate in table:
            prefix = candidate
            continue
        emit(table[prefix], size)
        if next_code < 4096:
            table[candidate] = next_code
            next_code += 1
            if next_code > (1 << size) and size < 12:
                size += 1
        else:
            emit(clear, size)
            table = {(i,): i for i in range(clear)}
            next_code, size = end + 1, min_code_size + 1
        prefix = (value,)
    emit(table[prefix], size)
    emit(end, size)
    if bit_count:
        out.append(bit_buffer & 0xFF)
    return bytes(out)


def gif_bytes(width, height, bits, palette, indices, colour_resolution):
    """The file: `palette` holds 2**bits colours, `indices` one palette index a pixel, row by row;
    `colour_resolution` is the screen descriptor's field (bits per primary colour, minus one)."""
    gif = bytearray(b"GIF89a")
    gif += struct.pack("<HHBBB", width, height, 0x80 | (colour_resolution << 4) | (bits - 1), 0, 0)
    for r, g, b in palette:
        gif += bytes((r, g, b))
    gif += b"," + struct.pack("<HHHHB", 0, 0, width, height, 0)
    data = lzw(indices, bits)
    gif.append(bits)
    for i in range(0, len(data), 255):
        block = data[i:i + 255]
        gif.append(len(block))
        gif += block
    gif += b"\0;"
    return bytes(gif)
