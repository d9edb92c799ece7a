#!/usr/bin/env python3
"""Writes a personal folder file (Unicode form, no encryption) full of generated mail.

Used by the PST benchmark and by the tests that keep this writer honest. Every message has
transport headers, a plain body of a few KB, recipients; some an HTML body, some a small
attachment. The same count and seed give the same file.

    make_pst.py OUT.pst [--messages N] [--seed S] [--marker WORD --marker-every K]
                        [--subjects FILE]
"""

import argparse
import base64
import datetime
import random
import struct
import sys
import unicodedata
import zlib

# Layout of the file.
BLOCK_MAX = 8176            # data in one block; with its 16-byte trailer it fills 8 KB
HEAP_ALLOC_MAX = 3580       # largest allocation of a heap on a node
PAGE = 512
AMAP_FIRST = 0x4400
AMAP_RANGE = 496 * 8 * 64   # bytes one allocation map covers
PMAP_FIRST = 0x4600
PMAP_RANGE = AMAP_RANGE * 8
INLINE_MAX = 1024           # larger values go to a subnode of their own

# Node types (low five bits of a node id).
NT_FOLDER, NT_MESSAGE, NT_ATTACHMENT, NT_LTP = 0x02, 0x04, 0x05, 0x1F
NID_MESSAGE_STORE, NID_NAME_TO_ID_MAP, NID_ROOT_FOLDER = 0x21, 0x61, 0x122
NID_ATTACHMENT_TABLE, NID_RECIPIENT_TABLE = 0x671, 0x692
HIERARCHY, CONTENTS, ASSOC_CONTENTS = 11, 12, 13  # table node = folder node + this

# Property types.
PT_SHORT, PT_LONG, PT_BOOL, PT_I8 = 0x0002, 0x0003, 0x000B, 0x0014
PT_UNICODE, PT_SYSTIME, PT_BINARY = 0x001F, 0x0040, 0x0102
INLINE_TYPES = (PT_SHORT, PT_LONG, PT_BOOL)
FIXED_SIZE = {PT_SHORT: 2, PT_LONG: 4, PT_BOOL: 1, PT_I8: 8, PT_SYSTIME: 8}

ROW_ID, ROW_VER = 0x67F2, 0x67F3
COMMON_SET_GUID = bytes.fromhex("0820060000000000c000000000000046")


def crc32(data):
    # The file's checksum: the usual polynomial, started at 0 and not inverted at the end.
    return zlib.crc32(data, 0xFFFFFFFF) ^ 0xFFFFFFFF


def signature(ib, bid):
    v = (ib ^ bid) & 0xFFFFFFFF
    return ((v >> 16) ^ v) & 0xFFFF


def align(n, a):
    return (n + a - 1) // a * a


def encode(ptype, value):
    if ptype == PT_UNICODE:
        return value.encode("utf-16-le")
    if ptype == PT_BINARY:
        return bytes(value)
    if ptype in (PT_I8, PT_SYSTIME):
        return struct.pack("<q", value)
    if ptype == PT_LONG:
        return struct.pack("<i", value)
    if ptype == PT_SHORT:
        return struct.pack("<h", value)
    if ptype == PT_BOOL:
        return bytes([1 if value else 0])
    raise ValueError(ptype)


class Heap:
    """A heap on a node: allocations in blocks, each block ending in its page map."""

    def __init__(self, client_sig):
        self.client_sig = client_sig
        self.root = 0
        self.blocks = [[]]
        self.used = [self._header_size(0)]

    @staticmethod
    def _header_size(i):
        if i == 0:
            return 12
        return 66 if i % 128 == 8 else 2  # a fill-level bitmap heads blocks 8, 136, ...

    def alloc(self, data):
        assert len(data) <= HEAP_ALLOC_MAX
        i = len(self.blocks) - 1
        count = len(self.blocks[i])
        # The page map: counts, one offset per allocation and one past the end; padding to 2.
        if self.used[i] + len(data) + 1 + 4 + 2 * (count + 2) > BLOCK_MAX:
            self.blocks.append([])
            self.used.append(self._header_size(i + 1))
            i += 1
        self.blocks[i].append(bytes(data))
        self.used[i] += len(data)
        return (len(self.blocks[i]) << 5) | (i << 16)

    def replace(self, hid, data):
        block, index = hid >> 16, ((hid >> 5) & 0x7FF) - 1
        assert len(self.blocks[block][index]) == len(data)
        self.blocks[block][index] = bytes(data)

    def encode(self):
        out = []
        for i, allocs in enumerate(self.blocks):
            offsets = [self._header_size(i)]
            for a in allocs:
                offsets.append(offsets[-1] + len(a))
            body = b"".join(allocs)
            ib_map = align(offsets[-1], 2)
            if i == 0:
                head = struct.pack("<HBBII", ib_map, 0xEC, self.client_sig, self.root, 0)
            else:
                head = struct.pack("<H", ib_map).ljust(self._header_size(i), b"\0")
            page_map = struct.pack(f"<HH{len(offsets)}H", len(allocs), 0, *offsets)
            block = head + body + bytes(ib_map - offsets[-1]) + page_map
            assert len(block) <= BLOCK_MAX
            out.append(block)
        return out


def btree_on_heap(heap, key_size, entry_size, records):
    """records: (key bytes, data bytes), sorted by key. Returns the HID of the header."""
    header = heap.alloc(bytes(8))
    levels, root = 0, 0
    if records:
        per = HEAP_ALLOC_MAX // (key_size + entry_size)
        nodes = []
        for i in range(0, len(records), per):
            chunk = records[i:i + per]
            nodes.append((chunk[0][0], heap.alloc(b"".join(k + d for k, d in chunk))))
        while len(nodes) > 1:
            per = HEAP_ALLOC_MAX // (key_size + 4)
            upper = []
            for i in range(0, len(nodes), per):
                chunk = nodes[i:i + per]
                data = b"".join(k + struct.pack("<I", h) for k, h in chunk)
                upper.append((chunk[0][0], heap.alloc(data)))
            nodes = upper
            levels += 1
        root = nodes[0][1]
    heap.replace(header, struct.pack("<BBBBI", 0xB5, key_size, entry_size, levels, root))
    return header


class Node:
    """What a node is made of before it is written: its heap and its subnodes."""

    def __init__(self, writer):
        self.writer = writer
        self.subnodes = []  # (nid, bid data, bid sub)
        self.next_value = 1

    def value_nid(self):
        nid = (self.next_value << 5) | NT_LTP
        self.next_value += 1
        return nid

    def store(self, heap, data):
        """An HNID for a variable-size value: in the heap when small, else in a subnode."""
        if len(data) <= INLINE_MAX:
            return heap.alloc(data)
        nid = self.value_nid()
        self.subnodes.append((nid, self.writer.data_tree(data), 0))
        return nid

    def property_context(self, props):
        heap = Heap(0xBC)
        records = []
        for pid, ptype, value in sorted(props, key=lambda p: p[0]):
            if ptype in INLINE_TYPES:
                hnid = struct.unpack("<I", encode(ptype, value).ljust(4, b"\0"))[0]
            else:
                hnid = self.store(heap, encode(ptype, value))
            records.append((struct.pack("<H", pid), struct.pack("<HI", ptype, hnid)))
        heap.root = btree_on_heap(heap, 2, 6, records)
        return heap.encode()

    def table_context(self, columns, rows):
        """columns: (pid, ptype); rows: (row id, {pid: value}). Fixed values lie in the row,
        variable ones in the heap; the row matrix moves to a subnode when it is large."""
        columns = [(ROW_ID, PT_LONG), (ROW_VER, PT_LONG)] + list(columns)
        width = lambda t: FIXED_SIZE.get(t, 4)
        placed = {}
        # Row id and version first, as readers expect.
        fixed4 = [c for c in columns if width(c[1]) in (4, 8) and c[0] not in (ROW_ID, ROW_VER)]
        placed[ROW_ID], placed[ROW_VER], ib = 0, 4, 8
        for pid, ptype in fixed4:
            placed[pid] = ib
            ib += width(ptype)
        end_4b = ib
        for pid, ptype in columns:
            if width(ptype) == 2:
                placed[pid] = ib
                ib += 2
        end_2b = ib
        for pid, ptype in columns:
            if width(ptype) == 1:
                placed[pid] = ib
                ib += 1
        end_1b = ib
        row_size = end_1b + (len(columns) + 7) // 8
        bits = {pid: i for i, (pid, _) in enumerate(columns)}

        heap = Heap(0x7C)
        info_size = 22 + 8 * len(columns)
        info = heap.alloc(bytes(info_size))
        matrix = []
        for row_id, values in rows:
            values = dict(values)
            values[ROW_ID], values[ROW_VER] = row_id, 0
            row = bytearray(row_size)
            for pid, ptype in columns:
                if pid not in values:
                    continue
                data = encode(ptype, values[pid])
                if ptype not in FIXED_SIZE:
                    data = struct.pack("<I", self.store(heap, data))
                row[placed[pid]:placed[pid] + len(data)] = data
                row[end_1b + bits[pid] // 8] |= 0x80 >> (bits[pid] % 8)
            matrix.append(bytes(row))
        by_id = sorted((row_id, i) for i, (row_id, _) in enumerate(rows))
        index = btree_on_heap(heap, 4, 4,
                              [(struct.pack("<I", r), struct.pack("<I", i)) for r, i in by_id])
        if not matrix:
            rows_hnid = 0
        elif len(matrix) * row_size <= HEAP_ALLOC_MAX:
            rows_hnid = heap.alloc(b"".join(matrix))
        else:
            # Rows never straddle blocks.
            per = BLOCK_MAX // row_size
            chunks = [b"".join(matrix[i:i + per]) for i in range(0, len(matrix), per)]
            rows_hnid = self.value_nid()
            self.subnodes.append((rows_hnid, self.writer.blocks_tree(chunks), 0))
        descs = b"".join(
            struct.pack("<IHBB", (pid << 16) | ptype, placed[pid], width(ptype), bits[pid])
            for pid, ptype in sorted(columns))
        heap.replace(info, struct.pack("<BB4HIII", 0x7C, len(columns), end_4b, end_2b, end_1b,
                                       row_size, index, rows_hnid, 0) + descs)
        heap.root = info
        return heap.encode()

    def subnode_tree(self):
        if not self.subnodes:
            return 0
        entries = sorted(self.subnodes)
        assert len(entries) <= (BLOCK_MAX - 8) // 24
        data = struct.pack("<BBHI", 0x02, 0, len(entries), 0)
        data += b"".join(struct.pack("<QQQ", *e) for e in entries)
        return self.writer.block(data, internal=True)


class Writer:
    def __init__(self, path):
        self.path = path
        self.out = bytearray()
        self.pos = PMAP_FIRST + PAGE
        self.next_block = 4
        self.next_page = 1
        self.extents = []   # (ib, size) of everything allocated
        self.bbt = []       # (bid, ib, cb)
        self.nbt = []       # (nid, bid data, bid sub, parent nid)

    def _reserve(self, size, alignment):
        pos = align(self.pos, alignment)
        while True:
            moved = False
            for first, step in ((AMAP_FIRST, AMAP_RANGE), (PMAP_FIRST, PMAP_RANGE)):
                k = max(0, (pos - first) // step)
                for slot in (first + k * step, first + (k + 1) * step):
                    if slot < pos + size and pos < slot + PAGE:
                        pos = align(slot + PAGE, alignment)
                        moved = True
            if not moved:
                break
        self.pos = pos + size
        self.extents.append((pos, size))
        return pos

    def _put(self, ib, data):
        end = ib + len(data)
        if len(self.out) < end:
            self.out.extend(bytes(end - len(self.out)))
        self.out[ib:end] = data

    def block(self, data, internal=False):
        assert len(data) <= BLOCK_MAX
        bid = self.next_block | (2 if internal else 0)
        self.next_block += 4
        size = align(len(data) + 16, 64)
        ib = self._reserve(size, 64)
        trailer = struct.pack("<HHIQ", len(data), signature(ib, bid), crc32(data), bid)
        self._put(ib, bytes(data) + bytes(size - 16 - len(data)) + trailer)
        self.bbt.append((bid, ib, len(data)))
        return bid

    def blocks_tree(self, chunks):
        """One block, or an array block naming the data blocks in order."""
        if len(chunks) == 1:
            return self.block(chunks[0])
        assert len(chunks) <= (BLOCK_MAX - 8) // 8
        bids = [self.block(c) for c in chunks]
        total = sum(len(c) for c in chunks)
        return self.block(struct.pack("<BBHI", 0x01, 0x01, len(bids), total) +
                          struct.pack(f"<{len(bids)}Q", *bids), internal=True)

    def data_tree(self, data):
        starts = range(0, max(len(data), 1), BLOCK_MAX)
        return self.blocks_tree([data[i:i + BLOCK_MAX] for i in starts])

    def node(self, nid, parent, build):
        """Writes a node whose content build(node) returns as blocks."""
        node = Node(self)
        chunks = build(node)
        self.nbt.append((nid, self.blocks_tree(chunks), node.subnode_tree(), parent))

    def _btree_page(self, ptype, body, bid):
        ib = self._reserve(PAGE, PAGE)
        trailer = struct.pack("<BBHIQ", ptype, ptype, signature(ib, bid), crc32(body), bid)
        self._put(ib, body + trailer)
        return ib

    def _btree(self, ptype, entries, leaf_size, pack_leaf):
        """Pages of a B-tree over sorted entries; returns (bid, ib) of its root."""
        level, per = 0, 488 // leaf_size
        nodes = []
        for i in range(0, len(entries), per):
            chunk = entries[i:i + per]
            nodes.append((chunk[0][0], b"".join(pack_leaf(e) for e in chunk), len(chunk)))
        size, cmax = leaf_size, per
        while True:
            written = []
            for key, body, count in nodes:
                bid = self.next_page
                self.next_page += 1
                page = body.ljust(488, b"\0") + struct.pack("<BBBBI", count, cmax, size, level, 0)
                ib = self._btree_page(ptype, page, bid)
                written.append((key, bid, ib))
            if len(written) == 1:
                return written[0][1], written[0][2]
            level, size, cmax = level + 1, 24, 20
            nodes = []
            for i in range(0, len(written), 20):
                chunk = written[i:i + 20]
                body = b"".join(struct.pack("<QQQ", *e) for e in chunk)
                nodes.append((chunk[0][0], body, len(chunk)))

    def finish(self):
        self.nbt.sort()
        self.bbt.sort()
        nbt_root = self._btree(0x81, self.nbt, 32, lambda e: struct.pack("<QQQII", *e, 0))
        bbt_root = self._btree(0x80, self.bbt, 24, lambda e: struct.pack("<QQHHI", *e, 1, 0))

        ranges = (self.pos - AMAP_FIRST + AMAP_RANGE - 1) // AMAP_RANGE
        eof = AMAP_FIRST + ranges * AMAP_RANGE
        maps = [bytearray(496) for _ in range(ranges)]
        extents = self.extents + [(AMAP_FIRST + k * AMAP_RANGE, PAGE) for k in range(ranges)]
        extents += [(p, PAGE) for p in range(PMAP_FIRST, eof, PMAP_RANGE)]
        for ib, size in extents:
            for slot in range((ib - AMAP_FIRST) // 64, (ib + size - AMAP_FIRST + 63) // 64):
                maps[slot // (496 * 8)][(slot // 8) % 496] |= 0x80 >> (slot % 8)
        free = 0
        for k, bits in enumerate(maps):
            free += sum(8 - bin(b).count("1") for b in bits) * 64
            ib = AMAP_FIRST + k * AMAP_RANGE
            trailer = struct.pack("<BBHIQ", 0x84, 0x84, 0, crc32(bytes(bits)), ib)
            self._put(ib, bytes(bits) + trailer)
        for ib in range(PMAP_FIRST, eof, PMAP_RANGE):
            body = b"\xff" * 496
            self._put(ib, body + struct.pack("<BBHIQ", 0x83, 0x83, 0, crc32(body), ib))
        if len(self.out) < eof:
            self.out.extend(bytes(eof - len(self.out)))

        nids = [0x400] * 32
        for nid, *_ in self.nbt:
            nids[nid & 0x1F] = max(nids[nid & 0x1F], (nid >> 5) + 1)
        root = struct.pack("<IQQQQQQQQBBH", 0, eof, AMAP_FIRST + (ranges - 1) * AMAP_RANGE, free, 0,
                           nbt_root[0], nbt_root[1], bbt_root[0], bbt_root[1], 0x02, 0, 0)
        head = bytearray(0x234)
        struct.pack_into("<4sIHHHBBII", head, 0, b"!BDN", 0, 0x4D53, 23, 19, 1, 1, 0, 0)
        struct.pack_into("<QQI", head, 0x18, 0, self.next_page, 0x5A17)
        struct.pack_into("<32I", head, 0x2C, *nids)
        head[0xB4:0xB4 + len(root)] = root
        head[0x100:0x200] = b"\xff" * 256
        struct.pack_into("<BBHQ", head, 0x200, 0x80, 0, 0, self.next_block)
        struct.pack_into("<I", head, 0x04, crc32(bytes(head[8:8 + 471])))
        struct.pack_into("<I", head, 0x20C, crc32(bytes(head[8:8 + 516])))
        self._put(0, bytes(head))
        with open(self.path, "wb") as f:
            f.write(self.out)


# ---- Generated mail ----

FIRST = ["Anna", "Ben", "Chiara", "Daniel", "Elif", "Farid", "Grace", "Hiroshi", "Ingrid", "José",
         "Katarzyna", "Liam", "Mei", "Nikolai", "Olivia", "Pavel", "Rosa", "Sanjay", "Tomás",
         "Ursula", "Viktor", "Wen", "Yusuf", "Zoë", "Amelia", "Bruno", "Camille", "Dmitri", "Émile",
         "Fatima"]
LAST = ["Andersen", "Brennan", "Costa", "Dubois", "Eriksson", "Fischer", "García", "Hughes",
        "Ivanova", "Jansen", "Kowalski", "Lindqvist", "Moreau", "Nakamura", "O'Connor", "Petrović",
        "Quinn", "Rossi", "Schmidt", "Tanaka", "Uribe", "Vargas", "Weber", "Xu", "Yilmaz",
        "Zimmermann", "Müller", "Sørensen"]
DOMAINS = ["example.com", "northwind.example", "contoso.example", "fabrikam.example",
           "tailspin.example", "adventure-works.example", "litware.example", "proseware.example",
           "mail.example.org"]
TOPICS = ["quarterly budget", "warehouse move", "supplier contract", "travel plans",
          "board meeting", "product launch", "server migration", "hiring plan",
          "customer complaint", "office party",
          "training schedule", "annual report", "marketing brief", "invoice 4471", "security audit",
          "holiday rota", "design review", "shipping delay", "price list", "client visit"]
SUBJECTS = ["{t} for {m}", "Re: {t}", "Fwd: {t} ({m})", "Question about the {t}", "Update: {t}",
            "Re: Re: {t} — next steps", "Minutes: {t}", "Draft {t}, please review",
            "{t}: numbers for {m}", "Reminder: {t} on {d}"]
MONTHS = ["January", "February", "March", "April", "May", "June", "July", "August", "September",
          "October", "November", "December"]
WORDS = ("the a we our this that next week team plan numbers meeting review office client order "
         "report draft budget figures schedule project update delivery please thanks agree change "
         "cost time before after monday friday morning afternoon call note list open question "
         "answer share attached version final second first latest room floor building supplier "
         "contract invoice payment shipment warehouse stock price margin forecast quarter "
         "target").split()
FOLDERS = ["Inbox", "Sent Items", "Projects", "Archive"]
FILETIME_EPOCH = 11644473600


def filetime(moment):
    return int((moment.timestamp() + FILETIME_EPOCH) * 10_000_000)


def encoded_word(text):
    if all(ord(c) < 128 for c in text):
        return text
    return "=?UTF-8?B?" + base64.b64encode(text.encode()).decode() + "?="


def person(rng):
    first, last = rng.choice(FIRST), rng.choice(LAST)
    local = unicodedata.normalize("NFKD", f"{first}.{last}".lower())
    local = local.encode("ascii", "ignore").decode()
    local = "".join(c for c in local if c.isalnum() or c == ".")
    return f"{first} {last}", f"{local}@{rng.choice(DOMAINS)}"


def paragraph(rng):
    sentences = []
    for _ in range(rng.randint(3, 6)):
        words = [rng.choice(WORDS) for _ in range(rng.randint(8, 16))]
        sentences.append(" ".join(words).capitalize() + ".")
    return " ".join(sentences)


def make_message(i, rng, args, start):
    sender = person(rng)
    to = [person(rng) for _ in range(rng.randint(1, 3))]
    cc = [person(rng) for _ in range(rng.randint(0, 2))]
    moment = start + datetime.timedelta(minutes=37 * i + rng.randint(0, 30))
    subject = rng.choice(SUBJECTS).format(t=rng.choice(TOPICS), m=MONTHS[moment.month - 1],
                                          d=moment.strftime("%d %b"))
    subject = f"{subject} #{i + 1}"
    paragraphs = [paragraph(rng) for _ in range(rng.randint(4, 7))]
    if args.marker and i % args.marker_every == 0:
        # First, so that no line folding of the built message splits it.
        paragraphs.insert(0, f"{args.marker} is the word to find in this one.")
    while True:
        body = f"Hello {to[0][0].split()[0]},\r\n\r\n" + "\r\n\r\n".join(paragraphs) + \
            f"\r\n\r\nBest regards,\r\n{sender[0]}\r\n"
        if len(body) <= 4000:  # within one block as UTF-16
            break
        paragraphs.pop()
    html = None
    if i % 3 == 0:
        html = ("<html><head><meta charset=\"utf-8\"></head><body>" +
                "".join(f"<p>{p}</p>" for p in paragraphs[:3]) +
                f"<p>Best regards,<br><b>{sender[0]}</b></p></body></html>").encode()
    attachment = None
    if i % 5 == 0:
        name = f"{rng.choice(TOPICS).replace(' ', '-')}-{i + 1}.csv"
        rows = "\r\n".join(f"{rng.choice(WORDS)},{rng.randint(1, 9999)},{rng.randint(1, 99)}"
                           for _ in range(40))
        attachment = (name, ("item,amount,count\r\n" + rows + "\r\n").encode())
    message_id = f"<{i + 1}.{rng.getrandbits(40):010x}@{sender[1].split('@')[1]}>"
    date = moment.strftime("%a, %d %b %Y %H:%M:%S +0000")
    addr = lambda p: f"{encoded_word(p[0])} <{p[1]}>"
    host = "mail." + sender[1].split("@")[1]
    headers = [
        f"Received: from {host} ({host} [192.0.2.{i % 250 + 1}])",
        f"\tby mx.example.com with ESMTPS id {rng.getrandbits(48):012x}; {date}",
        f"From: {addr(sender)}",
        "To: " + ", ".join(addr(p) for p in to),
    ]
    if cc:
        headers.append("Cc: " + ", ".join(addr(p) for p in cc))
    headers += [f"Subject: {encoded_word(subject)}", f"Date: {date}", f"Message-ID: {message_id}",
                "MIME-Version: 1.0"]
    if attachment or html:
        kind = "mixed" if attachment else "alternative"
        headers.append(f"Content-Type: multipart/{kind}; boundary=\"b{i + 1}\"")
    else:
        headers += ["Content-Type: text/plain; charset=utf-8", "Content-Transfer-Encoding: 8bit"]
    headers = "\r\n".join(headers) + "\r\n\r\n"
    read = i % 4 != 1
    size = len(headers) + len(body) + len(html or b"") + (len(attachment[1]) if attachment else 0)
    return dict(sender=sender, to=to, cc=cc, moment=moment, subject=subject, body=body, html=html,
                attachment=attachment, message_id=message_id, headers=headers, read=read,
                flags=(0x01 if read else 0) | (0x10 if attachment else 0), size=size,
                delivered=filetime(moment) + 20_000_000)


def message_props(m):
    when = filetime(m["moment"])
    props = [
        (0x001A, PT_UNICODE, "IPM.Note"), (0x0037, PT_UNICODE, m["subject"]),
        (0x0017, PT_LONG, 1), (0x0039, PT_SYSTIME, when), (0x0E06, PT_SYSTIME, m["delivered"]),
        (0x0042, PT_UNICODE, m["sender"][0]), (0x0064, PT_UNICODE, "SMTP"),
        (0x0065, PT_UNICODE, m["sender"][1]), (0x0C1A, PT_UNICODE, m["sender"][0]),
        (0x0C1E, PT_UNICODE, "SMTP"), (0x0C1F, PT_UNICODE, m["sender"][1]),
        (0x0E04, PT_UNICODE, "; ".join(p[0] for p in m["to"])),
        (0x0E07, PT_LONG, m["flags"]), (0x0E08, PT_LONG, m["size"]),
        (0x0E1B, PT_BOOL, bool(m["attachment"])),
        (0x1035, PT_UNICODE, m["message_id"]), (0x007D, PT_UNICODE, m["headers"]),
        (0x1000, PT_UNICODE, m["body"]), (0x3007, PT_SYSTIME, when), (0x3008, PT_SYSTIME, when),
        (0x3FDE, PT_LONG, 65001),
    ]
    if m["cc"]:
        props.append((0x0E03, PT_UNICODE, "; ".join(p[0] for p in m["cc"])))
    if m["html"]:
        props.append((0x1013, PT_BINARY, m["html"]))
    return props


RECIPIENT_COLUMNS = [(0x0C15, PT_LONG), (0x0FFE, PT_LONG), (0x3001, PT_UNICODE),
                     (0x3002, PT_UNICODE), (0x3003, PT_UNICODE), (0x3900, PT_LONG),
                     (0x39FE, PT_UNICODE)]
ATTACHMENT_COLUMNS = [(0x0E20, PT_LONG), (0x3704, PT_UNICODE), (0x3705, PT_LONG), (0x370B, PT_LONG)]
CONTENTS_COLUMNS = [(0x0E06, PT_SYSTIME), (0x0E07, PT_LONG), (0x0E08, PT_LONG), (0x0023, PT_BOOL),
                    (0x0029, PT_BOOL), (0x0E1B, PT_BOOL)]  # 28-byte rows: whole rows per block
HIERARCHY_COLUMNS = [(0x3001, PT_UNICODE), (0x3602, PT_LONG), (0x3603, PT_LONG), (0x360A, PT_BOOL)]


def write_message(writer, nid, parent, m):
    def build(node):
        by_kind = [(1, p) for p in m["to"]] + [(2, p) for p in m["cc"]]
        recipients = [(k, {0x0C15: kind, 0x0FFE: 6, 0x3001: p[0], 0x3002: "SMTP", 0x3003: p[1],
                           0x3900: 0, 0x39FE: p[1]})
                      for k, (kind, p) in enumerate(by_kind)]
        table = node.table_context(RECIPIENT_COLUMNS, recipients)
        node.subnodes.append((NID_RECIPIENT_TABLE, writer.blocks_tree(table), 0))
        if m["attachment"]:
            name, data = m["attachment"]
            attach_nid = (1 << 5) | NT_ATTACHMENT
            inner = Node(writer)
            pc = inner.property_context([
                (0x0E20, PT_LONG, len(data)), (0x3001, PT_UNICODE, name), (0x3701, PT_BINARY, data),
                (0x3703, PT_UNICODE, ".csv"), (0x3704, PT_UNICODE, name), (0x3705, PT_LONG, 1),
                (0x3707, PT_UNICODE, name), (0x370B, PT_LONG, -1),
                (0x370E, PT_UNICODE, "text/csv")])
            node.subnodes.append((attach_nid, writer.blocks_tree(pc), inner.subnode_tree()))
            table = node.table_context(ATTACHMENT_COLUMNS, [(attach_nid, {
                0x0E20: len(data), 0x3704: name, 0x3705: 1, 0x370B: -1})])
            node.subnodes.append((NID_ATTACHMENT_TABLE, writer.blocks_tree(table), 0))
        return node.property_context(message_props(m))
    writer.node(nid, parent, build)


def write_folder(writer, nid, parent, name, children, messages):
    """children: (nid, name, message count, has sub folders); messages: (nid, message)."""
    unread = sum(1 for _, m in messages if not m["read"])
    props = [(0x3602, PT_LONG, len(messages)), (0x3603, PT_LONG, unread),
             (0x360A, PT_BOOL, bool(children)), (0x3613, PT_UNICODE, "IPF.Note")]
    if name:
        props.append((0x3001, PT_UNICODE, name))
    writer.node(nid, parent, lambda node: node.property_context(props))
    writer.node(nid + HIERARCHY, 0, lambda node: node.table_context(HIERARCHY_COLUMNS, [
        (c, {0x3001: n, 0x3602: count, 0x3603: 0, 0x360A: sub}) for c, n, count, sub in children]))
    writer.node(nid + CONTENTS, 0, lambda node: node.table_context(CONTENTS_COLUMNS, [
        (mid, {0x0E06: m["delivered"], 0x0E07: m["flags"], 0x0E08: m["size"], 0x0023: False,
               0x0029: False, 0x0E1B: bool(m["attachment"])}) for mid, m in messages]))
    writer.node(nid + ASSOC_CONTENTS, 0,
                lambda node: node.table_context([(0x001A, PT_UNICODE)], []))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("output")
    parser.add_argument("--messages", type=int, default=10_000, help="how many (10,000)")
    parser.add_argument("--seed", type=int, default=27, help="of the generated content")
    parser.add_argument("--marker", default="", help="a word to place in the body of some messages")
    parser.add_argument("--marker-every", type=int, default=250,
                        help="place it in every K-th message")
    parser.add_argument("--subjects",
                        help="write each message's folder and subject here, one a line")
    args = parser.parse_args()

    rng = random.Random(args.seed)
    start = datetime.datetime(2019, 1, 7, 8, 0, tzinfo=datetime.timezone.utc)
    messages = [make_message(i, rng, args, start) for i in range(args.messages)]
    # Most mail in the inbox; what the shares of the others leave goes to the last folder.
    shares = [0.55, 0.2, 0.15]
    bounds, at = [], 0
    for share in shares:
        at += round(args.messages * share)
        bounds.append(min(at, args.messages))
    groups, lo = [], 0
    for hi in bounds + [args.messages]:
        groups.append(list(range(lo, hi)))
        lo = hi

    writer = Writer(args.output)
    top = (0x401 << 5) | NT_FOLDER
    folder_nids = [((0x402 + k) << 5) | NT_FOLDER for k in range(len(FOLDERS))]
    mid = lambda i: ((0x10000 + i) << 5) | NT_MESSAGE
    listing = []
    for k, indexes in enumerate(groups):
        for i in indexes:
            write_message(writer, mid(i), folder_nids[k], messages[i])
            listing.append(f"Top of Personal Folders/{FOLDERS[k]}\t{messages[i]['subject']}")
        write_folder(writer, folder_nids[k], top, FOLDERS[k], [],
                     [(mid(i), messages[i]) for i in indexes])
    write_folder(writer, top, NID_ROOT_FOLDER, "Top of Personal Folders",
                 [(n, FOLDERS[k], len(groups[k]), False) for k, n in enumerate(folder_nids)], [])
    write_folder(writer, NID_ROOT_FOLDER, NID_ROOT_FOLDER, "",
                 [(top, "Top of Personal Folders", 0, True)], [])

    record_key = bytes(rng.getrandbits(8) for _ in range(16))
    writer.node(NID_MESSAGE_STORE, 0, lambda node: node.property_context([
        (0x0FF9, PT_BINARY, record_key), (0x3001, PT_UNICODE, "Personal Folders"),
        (0x35DF, PT_LONG, 0x01),
        (0x35E0, PT_BINARY, bytes(4) + record_key + struct.pack("<I", top))]))
    writer.node(NID_NAME_TO_ID_MAP, 0, lambda node: node.property_context([
        # One named property (PidLidPrivate of the common set): readers want the streams present.
        (0x0001, PT_LONG, 251), (0x0002, PT_BINARY, COMMON_SET_GUID),
        (0x0003, PT_BINARY, struct.pack("<IHH", 0x8506, 3 << 1, 0)),
        (0x0004, PT_BINARY, bytes(4))]))
    writer.finish()

    if args.subjects:
        with open(args.subjects, "w", encoding="utf-8") as f:
            f.write("\n".join(listing) + "\n")
    marked = sum(1 for i in range(args.messages) if args.marker and i % args.marker_every == 0)
    print(f"{args.output}: {args.messages} messages in {len(FOLDERS)} folders, "
          f"{len(writer.out)} bytes"
          + (f", '{args.marker}' in {marked}" if args.marker else ""), file=sys.stderr)


if __name__ == "__main__":
    main()
