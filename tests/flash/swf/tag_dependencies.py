# What the tag index of a movie gathers for each of its definitions, worked out from the
# published tag layouts alone: for every movie named, one line per character id,
#   <file> <id>: <tag> <tag>...
# where a tag is code:id (font info: code:font id, JPEG tables: 8), sorted.
import os, struct, sys, zlib

DEFINITIONS = {2, 6, 7, 10, 11, 14, 18, 20, 21, 22, 32, 33, 34, 35, 36, 37, 39, 45, 46, 48, 60, 75, 83, 84, 87, 90, 91}
BITMAPS = (6, 20, 21, 35, 36, 90)
SHAPES = (2, 22, 32, 46, 83, 84)
# Tags that annotate a font or a character by its id in their first two bytes.
FONT_NOTES, CHARACTER_NOTES = (73, 88), (74, 78)
FRAME = {0, 1, 3, 4, 5, 8, 9, 12, 13, 19, 24, 26, 28, 43, 61, 62}
NESTING = 8

class Bits:
    def __init__(s, b, pos=0): s.b, s.bit = b, pos * 8
    def u(s, n):
        v = 0
        for _ in range(n):
            if s.bit // 8 >= len(s.b): raise ValueError('past the end')
            v = v << 1 | (s.b[s.bit // 8] >> (7 - s.bit % 8)) & 1
            s.bit += 1
        return v
    def align(s): s.bit = (s.bit + 7) // 8 * 8
    def bytes(s, n):
        s.align(); p = s.bit // 8
        if p + n > len(s.b): raise ValueError('past the end')
        s.bit += 8 * n
        return s.b[p:p + n]
    def u8(s): return s.bytes(1)[0]
    def u16(s): return struct.unpack('<H', s.bytes(2))[0]

def rect(r): n = r.u(5); r.u(4 * n); r.align()
def matrix(r):
    if r.u(1): n = r.u(5); r.u(2 * n)
    if r.u(1): n = r.u(5); r.u(2 * n)
    n = r.u(5); r.u(2 * n); r.align()
def cxform_alpha(r):
    add, mult, n = r.u(1), r.u(1), r.u(4)
    r.u(4 * n * (add + mult)); r.align()

def count(r):
    n = r.u8()
    return r.u16() if n == 0xFF else n

def fill_styles(r, alpha, morph, bitmaps):
    for _ in range(count(r)):
        t = r.u8()
        if t == 0: r.bytes(8 if morph else 4 if alpha else 3)
        elif t in (0x10, 0x12, 0x13):
            matrix(r)
            if morph: matrix(r)
            n = r.u8() & (0xFF if morph else 0x0F)
            r.bytes(n * (10 if morph else 5 if alpha else 4))
            if t == 0x13: r.bytes(2)
        elif 0x40 <= t <= 0x43:
            bitmaps.append(r.u16()); matrix(r)
            if morph: matrix(r)
        else: raise ValueError('fill type')

def line_styles(r, alpha, morph):
    for _ in range(count(r)): r.bytes(12 if morph else 6 if alpha else 5)

def shape_records(r, new_styles):
    """Walks the records; new_styles reads the style arrays a record brings."""
    fb, lb = r.u(4), r.u(4)
    while True:
        if r.u(1):
            straight, n = r.u(1), r.u(4) + 2
            if straight: r.u(2 * n if r.u(1) else n + 1)
            else: r.u(4 * n)
            continue
        flags = r.u(5)
        if flags == 0: return
        if flags & 1: m = r.u(5); r.u(2 * m)
        if flags & 2: r.u(fb)
        if flags & 4: r.u(fb)
        if flags & 8: r.u(lb)
        if flags & 16:
            new_styles()
            fb, lb = r.u(4), r.u(4)

def fill_style2(r, morph, bitmaps):
    t = r.u8()
    if t == 0: r.bytes(8 if morph else 4)
    elif t in (0x10, 0x12, 0x13):
        matrix(r)
        if morph: matrix(r)
        n = r.u8() & 0x0F
        r.bytes(n * (10 if morph else 5) + ((4 if morph else 2) if t == 0x13 else 0))
    elif 0x40 <= t <= 0x43:
        b = r.u16()
        if b != 0xFFFF: bitmaps.append(b)
        matrix(r)
        if morph: matrix(r)
    else: raise ValueError('fill type')

def styles2(r, morph, bitmaps):
    for _ in range(count(r)): fill_style2(r, morph, bitmaps)
    for _ in range(count(r)):
        r.bytes(4 if morph else 2)
        first = r.u8(); r.u8()
        if (first >> 4) & 3 == 2: r.bytes(2)
        if first & 8: fill_style2(r, morph, bitmaps)
        else: r.bytes(8 if morph else 4)

def shape_bitmaps(code, body):
    bitmaps = []
    try:
        r = Bits(body, 2)
        if code == 84:
            for _ in range(4): rect(r)
            r.bytes(5); styles2(r, True, bitmaps)
        elif code == 83:
            rect(r); rect(r); r.u8(); styles2(r, False, bitmaps); r.align()
            def new_styles():
                styles2(r, False, bitmaps); r.align()
            shape_records(r, new_styles)
        elif code == 46:
            rect(r); rect(r); r.bytes(4)
            fill_styles(r, True, True, bitmaps)
        else:
            alpha = code == 32
            rect(r); fill_styles(r, alpha, False, bitmaps); line_styles(r, alpha, False)
            def new_styles():
                fill_styles(r, alpha, False, bitmaps); line_styles(r, alpha, False)
            shape_records(r, new_styles)
    except ValueError:
        return []  # kept as read: nothing known
    return list(dict.fromkeys(bitmaps))

FILTER_SIZES = {0: 23, 1: 9, 2: 15, 3: 27, 6: 80}
def button_ids(code, body):
    r, ids = Bits(body, 2), []
    if code == 34: r.bytes(3)
    while True:
        flags = r.u8()
        if flags == 0: return list(dict.fromkeys(ids))
        ids.append(r.u16()); r.u16(); matrix(r)
        if code == 34:
            cxform_alpha(r)
            if flags & 0x10:
                for _ in range(r.u8()):
                    f = r.u8()
                    if f in (4, 7): n = r.u8(); r.bytes(5 * n + 19)
                    elif f == 5: x, y = r.u8(), r.u8(); r.bytes(8 + 4 * x * y + 5)
                    else: r.bytes(FILTER_SIZES[f])
            if flags & 0x20: r.u8()

def text_fonts(code, body):
    if code == 37:
        r = Bits(body, 2); rect(r)
        flags = r.u8() << 8 | r.u8()
        return [r.u16() if flags & 0x0100 else 0]
    r, fonts = Bits(body, 2), []
    rect(r); matrix(r)
    g, a = r.u8(), r.u8()
    left = lambda: len(body) - r.bit // 8
    while left() > 0:
        b = r.u8()
        if b == 0: break
        if not b & 0x80:
            r.u(min(b, left() * 8 // (g + a) if g + a else b) * (g + a)); r.align(); continue
        fonts.append(r.u16() if b & 8 else 0)
        if b & 4: r.bytes(3 if code == 11 else 4)
        if b & 1: r.bytes(2)
        if b & 2: r.bytes(2)
        if b & 8: r.bytes(2)
        if left() > 1 or (left() == 1 and body[r.bit // 8] != 0):
            n = r.u8(); r.u(min(n, left() * 8 // (g + a) if g + a else n) * (g + a)); r.align()
    return list(dict.fromkeys(fonts))

def read_tags(d, pos, end, nested=False):
    out = []
    while pos + 2 <= end:
        h = struct.unpack_from('<H', d, pos)[0]; pos += 2
        code, n = h >> 6, h & 63
        if n == 63: n = struct.unpack_from('<I', d, pos)[0] if pos + 4 <= end else 0; pos += 4
        body = d[pos:min(pos + n, end)]
        tag = {'code': code, 'body': body}
        if code == 39 and not nested: tag['tags'] = read_tags(body, 4, len(body), True)
        out.append(tag)
        pos += n
        if code == 0: break
    return out

def defined_id(t):
    if t['code'] in (18, 45): return 0
    return struct.unpack_from('<H', t['body'])[0] if len(t['body']) >= 2 else 0

class Index:
    def __init__(s, tags):
        s.tags = tags
        s.defs = [t for t in tags if t['code'] in DEFINITIONS]
        s.frame = [t for t in tags if t['code'] in FRAME]
    def find(s, i): return next((t for t in s.defs if defined_id(t) == i), None)
    def jpeg(s): return next((t for t in s.frame if t['code'] == 8), None)
    def font(s, i): return next((t for t in s.defs if t['code'] in (10, 48, 75) and defined_id(t) == i), None)
    def notes(s, i, codes): return [t for t in s.tags if t['code'] in codes and defined_id(t) == i]
    def info(s, i): return next((t for t in s.frame if t['code'] in (13, 62) and defined_id(t) == i), None)

def add(target, t):
    if t is not None and not any(x is t for x in target): target.append(t)

def shape_deps(index, t):
    out = []
    for b in shape_bitmaps(t['code'], t['body']):
        d = index.find(b)
        if d is None or d['code'] not in BITMAPS: continue
        if d['code'] == 6: add(out, index.jpeg())
        add(out, d)
    return out

def button_collect(index, button, depth):
    gathered, fonts = [], []
    try: ids = button_ids(button['code'], button['body'])
    except (ValueError, KeyError): ids = []
    for i in ids:
        d = index.find(i)
        if d is None or d is button: continue
        c = d['code']
        if c in (7, 34) and depth < NESTING:
            g, f = button_collect(index, d, depth + 1)
            for x in g: add(gathered, x)
            fonts += [x for x in f if x not in fonts]
        elif c in SHAPES:
            for x in shape_deps(index, d): add(gathered, x)
        elif c in (11, 33, 37):
            fonts += [x for x in text_fonts(c, d['body']) if x not in fonts]
        elif c == 39 and depth < NESTING:
            imp = import_sprite(index, d, depth + 1)
            fonts += [x for x in imp['font_ids'] if x not in fonts]
            for x in imp['defs']:
                if x is not button: add(gathered, x)
            for x in imp['sprites']:
                if x is not d and x is not button: add(gathered, x)
        add(gathered, d)
    return gathered, fonts

def used_ids(tags, ids):
    for t in tags:
        b, c = t['body'], t['code']
        if c in (4, 15, 61) and len(b) >= 2: i = struct.unpack_from('<H', b)[0]
        elif c == 26 and len(b) >= 5 and b[0] & 2: i = struct.unpack_from('<H', b, 3)[0]
        elif c == 70 and len(b) >= 4 and b[0] & 2:
            at = b.index(0, 4) + 1 if b[1] & 8 and 0 in b[4:] else len(b) if b[1] & 8 else 4
            if at + 2 > len(b): continue
            i = struct.unpack_from('<H', b, at)[0]
        else: continue
        if i not in ids: ids.append(i)

def import_sprite(index, sprite, depth=0):
    ids, defs, sprites, font_ids, fonts, notes = [], [], [], [], [], []
    used_ids(sprite['tags'], ids)
    for t in index.tags:
        if t['code'] == 39 and 'tags' in t: used_ids(t['tags'], ids)
    jpeg = next((t for t in index.tags if t['code'] == 8), None)
    for i in ids:
        for t in index.tags:
            c = t['code']
            if c not in SHAPES + BITMAPS + (7, 34, 11, 33, 37, 14, 60, 39, 75, 87, 91) or defined_id(t) != i: continue
            if c in (75, 91):
                if i not in font_ids: font_ids.append(i)
                break
            if c in SHAPES:
                for x in shape_deps(index, t): add(defs, x)
            elif c == 6: add(defs, jpeg)
            elif c in (7, 34) and depth < NESTING:
                g, f = button_collect(index, t, depth + 1)
                for x in g:
                    if x is not t: add(sprites if x['code'] == 39 else defs, x)
                font_ids += [x for x in f if x not in font_ids]
                if any(x['code'] == 39 for x in g):
                    add(sprites, t)
                    break
            elif c in (11, 33, 37):
                font_ids += [x for x in text_fonts(c, t['body']) if x not in font_ids]
            add(sprites if c == 39 else defs, t)
            break
    for f in font_ids:
        found = 0
        for t in index.tags:
            if (t['code'] in (10, 48, 75, 91, 13, 62)) and defined_id(t) == f:
                add(fonts, t); found += 1
                if found == 2: break
        for x in index.notes(f, FONT_NOTES): add(fonts, x)
    for x in defs + sprites + [sprite]:
        if x['code'] != 8:
            for n in index.notes(defined_id(x), CHARACTER_NOTES): add(notes, n)
    return {'defs': defs, 'sprites': sprites, 'font_ids': font_ids, 'fonts': fonts, 'notes': notes}

def import_font(index, f, target):
    add(target, index.font(f)); add(target, index.info(f))
    for x in index.notes(f, FONT_NOTES): add(target, x)

def import_definition(index, i):
    d, target = index.find(i), []
    c = d['code']
    if c in SHAPES:
        for x in shape_deps(index, d): add(target, x)
    elif c == 6: add(target, index.jpeg())
    elif c in (7, 34):
        g, f = button_collect(index, d, 0)
        for x in f: import_font(index, x, target)
        for x in g: add(target, x)
    elif c in (11, 33, 37):
        for x in text_fonts(c, d['body']): import_font(index, x, target)
    elif c == 39:
        imp = import_sprite(index, d)
        for x in imp['fonts'] + imp['defs'] + [s for s in imp['sprites'] if s is not d]: add(target, x)
        for x in imp['notes']:
            if defined_id(x) != i: add(target, x)
    add(target, d)
    for x in index.notes(i, CHARACTER_NOTES): add(target, x)
    return target

def name(t):
    return str(t['code']) if t['code'] in (8,) + FONT_NOTES + CHARACTER_NOTES else '%d:%d' % (t['code'], defined_id(t))

for path in sys.argv[1:]:
    d = open(path, 'rb').read()
    if d[:3] == b'CWS': d = d[:8] + zlib.decompress(d[8:])
    elif d[:3] != b'FWS': continue
    tags = read_tags(d, 8 + (5 + 4 * (d[8] >> 3) + 7) // 8 + 4, len(d))
    index, done = Index(tags), set()
    for t in index.defs:
        i = defined_id(t)
        if i in done: continue
        done.add(i)
        print(os.path.basename(path), '%d:' % i, ' '.join(sorted(name(x) for x in import_definition(index, i))))
