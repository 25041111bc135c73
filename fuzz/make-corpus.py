#!/usr/bin/env python3
"""Writes the fuzz target's seed corpus into fuzz/corpus/: small streams with
real frame headers (tagged and not, MPEG-1, 2 and 2.5, layers I to III, CRC,
VBR), junk, truncated files, and the heads of the test fixtures. Run it again
only to change the seeds; the files are committed."""
import os

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus")
DATA = os.path.join(HERE, "..", "tests", "data")

BITRATES = {  # kbit/s by (mpeg1, layer)
    (True, 1): [0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448],
    (True, 2): [0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384],
    (True, 3): [0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320],
    (False, 1): [0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256],
    (False, 2): [0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160],
    (False, 3): [0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160],
}
RATES = {0x18: [44100, 48000, 32000], 0x10: [22050, 24000, 16000], 0x00: [11025, 12000, 8000]}


def frame(b1, b2, n):
    mpeg1 = (b1 & 0x18) == 0x18
    layer = {0x06: 1, 0x04: 2, 0x02: 3}[b1 & 0x06]
    rate = RATES[b1 & 0x18][(b2 >> 2) & 3]
    bits = BITRATES[(mpeg1, layer)][b2 >> 4] * 1000
    pad = (b2 >> 1) & 1
    if layer == 1:
        length = (12 * bits // rate + pad) * 4
    else:
        length = (144 if mpeg1 or layer == 2 else 72) * bits // rate + pad
    body = bytes(((n * 31 + i) % 251) for i in range(4, length))
    return bytes([0xFF, b1, b2, 0x44]) + body


def frames(count, b1, b2, vary_padding=True):
    return b"".join(frame(b1, (b2 | 2) if vary_padding and i % 3 else (b2 & ~2), i) for i in range(count))


def tag(size, fill=0):
    return b"ID3\x03\x00\x00" + bytes([(size >> 21) & 127, (size >> 14) & 127, (size >> 7) & 127, size & 127]) \
        + bytes([fill]) * size


JUNK = bytes.fromhex("0000FFFB9000123456FFFFFFFF00FFF340001122") + b"j" * 30


def head(name, size):
    with open(os.path.join(DATA, name), "rb") as f:
        return f.read(size)


SEEDS = {
    "tagged_mpeg1_128k.mp3": tag(40) + frames(6, 0xFB, 0x90),
    "untagged_mpeg1_48k.mp3": frames(6, 0xFB, 0x94),
    "untagged_junk_first.mp3": JUNK + frames(5, 0xFB, 0x90),
    "tagged_mpeg2_junk.mp3": tag(20) + b"wxyz" + frames(12, 0xF3, 0x40),
    "mpeg25_11025.mp3": tag(10) + frames(12, 0xE3, 0x10),
    "crc_after_tag.mp3": tag(30) + frames(5, 0xFA, 0x90),
    "mpeg2_crc_24k.mp3": frames(10, 0xF2, 0x84),
    "layer1.mp3": frames(6, 0xFF, 0x40),
    "layer2_48k.mp3": frames(6, 0xFD, 0xA4),
    "vbr.mp3": tag(16) + b"".join(frame(0xFB, (i << 4) | (2 if n % 2 else 0), n)
                                  for n, i in enumerate([1, 5, 2, 9, 3, 1, 4, 2])),
    "cover_art_ff.mp3": tag(300, 0xFF) + frames(4, 0xFB, 0x90),
    "lost_sync.mp3": frames(3, 0xFB, 0x90) + JUNK + frames(3, 0xFB, 0x90),
    "truncated_frame.mp3": (tag(20) + frames(4, 0xFB, 0x90))[:-150],
    "trailing_id3v1.mp3": frames(3, 0xF3, 0x40) + b"TAG" + b"x" * 125,
    "junk_only.bin": JUNK * 6,
    "tag_too_large.mp3": bytes.fromhex("4944330300007F7F7F7FFFFB9000"),
    "empty_tag.mp3": tag(0),
    "real_vbr_xing_head.mp3": head("vbr_xing.mp3", 3000),
    "real_mpeg2_mono_head.mp3": head("mpeg2_mono_22050.mp3", 2000),
    "real_crc_head.mp3": head("crc_protected.mp3", 2500),
}

os.makedirs(OUT, exist_ok=True)
for name, data in SEEDS.items():
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)
print(f"{len(SEEDS)} seeds in {OUT}")
