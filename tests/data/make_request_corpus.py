#!/usr/bin/env python3
"""Writes a large, fixed corpus of request texts to standard output, one per
line, for tools/check-request-corpus: what decode-requests answers for each
of them is recorded in request_corpus_responses.gz, and any change to the
decoder that changes one byte of those answers shows there.

The corpus is generated, never edited: the same script always writes the same
bytes (a fixed seed, no hash-ordered containers). It reaches every layer of
the decoder:
  - the hexadecimal layer (odd lengths, non-digits, signs, case, non-ASCII);
  - the UTF-8 layer (every kind of ill-formed and truncated sequence);
  - JSON syntax (every prefix of valid requests, bytes replaced, removed and
    inserted, escapes, numbers, literals, blanks and line feeds);
  - the request's shape (plain and array forms, tag forms, member orders,
    ignored members, duplicate and missing fields) and every value type in
    every place of the schema;
  - the nesting budget in each place that takes it or not, and long texts.
"""

import random
import sys

SEED = 20261210
rng = random.Random(SEED)
lines = []


def hexed(document) -> str:
    data = document if isinstance(document, bytes) else document.encode("utf-8", "surrogatepass")
    return data.hex()


def add(document) -> None:
    lines.append(hexed(document))


def add_raw(text: str) -> None:
    assert "\n" not in text
    lines.append(text)


VARIANTS = ["clean-system", "startup-hklm-list", "startup-hklm-set"]
UNIT_VARIANTS = VARIANTS[:2]
SET_ARGS = ['{"name":"Tool","enabled":false}', '{"enabled":true,"name":"A b"}']

# Values put into every place of the schema: each type, edge numbers, strings
# that print and that do not, and values that are not well-formed.
GOOD_VALUES = [
    "null", "true", "false",
    "0", "1", "-1", "-5", "-0", "42",
    "18446744073709551615", "18446744073709551616", "-9223372036854775808", "-9223372036854775809",
    "123456789012345678901234567890", "-123456789012345678901234567890",
    "1.5", "-1.5", "0.0", "-0.0", "1e20", "1E20", "1e+2", "1e-2", "1.5e-7", "0.001", "0.0001",
    "1000.0", "1e16", "1e17", "12345678901234567.0", "1e308", "1.7976931348623157e308",
    "1.7976931348623159e308", "1e400", "-1e400", "1e-400", "-1e-400", "4.9e-324", "2.4e-324",
    "5e-324", "0e0", "0.1e999999999999999999", "0.000e-99999999999", "123e-2",
    '""', '"x"', '"Tool"', '"clean-system"', '"startup-hklm-set"', '"a\\tb"', '"\\u0000"',
    '"\\r\\n\\"\\\\\\/\\b\\f"', '"\\u00ad"', '"\\u200b"', '"\\u0085"', '"\\u2028"', '"\\ue000"',
    '"\\ufeff"', '"\\uffff"', '"\\ud83d\\ude00"', '"\\udbff\\udfff"', '"é ü 中"', '"\U0001F600"',
    '"\\u0378"', '"\\u00a0"', '"\x7f"', '"\u3000"', '"\U000E0001"', '"\U0010FFFF"',
    "[]", "[1]", "[null,{\"a\":[]}]", "[[[]]]", "{}", '{"a":1}', '{"name":null}',
    '{"clean-system":null}', '{"name":"x","enabled":true}', '[1e400]', '{"a":1e400}',
    '{"a":[1,{"b":-0}]}', ' null ', '\n\t\rtrue',
]
BAD_VALUES = [
    "", " ", "tru", "nul", "fals", "True", "NULL", "nan", "Infinity", "-", "+1", "01", "-01", "1.",
    "1.e5", ".5", "1e", "1e+", "1E-", "0x10", "1_000", "'x'", '"abc', '"\\x"', '"\\u12"', '"\\u12g4"',
    '"\\ud800"', '"\\udc00"', '"\\ud800\\u0041"', '"\\ud800x"', '"\\ud800\\"', '"\\ud800\\udbff"',
    '"a\x01b"', '"\t"', '"\\', '"\\u', "[1,]", "[1 2]", "[,1]", "[", "]", "{", "}",
    '{"a"}', '{"a":}', "{1:2}", '{"a":1,}', '{"a":1 "b":2}', "{,}", "[1]]", "{}}", "nullx",
    "true false", "\x0c0", "/", "\\", "@", "\x00",
]
VALUES = GOOD_VALUES + BAD_VALUES

# Requests with one hole, "@", where each value goes.
SLOT_TEMPLATES = [
    "@",
    '{"action":@}',
    "[@]",
    '{"action":@,"x":1}',
    '{"action":{"action":@}}',
    '{"action":{"action":@,"args":null}}',
    '{"action":{"args":null,"action":@}}',
    '{"action":{"action":{"clean-system":@}}}',
    '{"action":{"action":{"startup-hklm-set":@},"args":{"name":"a","enabled":true}}}',
    '{"action":{"action":{@:null}}}',
    '{"action":{"action":{"clean-system":null@}}}',
    '{"action":{@:"clean-system"}}',
    '{@:{"action":"clean-system"}}',
    '{"action":[@]}',
    '{"action":[@,null]}',
    '[[@,null]]',
    '{"x":@,"action":{"action":"clean-system"}}',
    '{"action":{"action":"clean-system"},"x":@}',
    '{"action":{"x":@,"action":"clean-system"}}',
    '{"action":{"action":"clean-system","x":@}}',
    '{"action":{"args":null,"x":@,"action":"clean-system"}}',
    '{"action":{"action":"clean-system"}}@',
    '{"action":{"action":"clean-system"}@}',
    '{"action":{"action":"clean-system"@}}',
    '[{"action":"clean-system"}@]',
    '{"action":["clean-system"@]}',
    '{"action":["clean-system",null@]}',
    '{"action":["clean-system",null,@]}',
]
for variant in VARIANTS:
    SLOT_TEMPLATES += [
        '{"action":{"action":"%s","args":@}}' % variant,
        '{"action":{"args":@,"action":"%s"}}' % variant,
        '{"action":{"args":@,"action":{"%s":null}}}' % variant,
        '{"action":{"action":{"%s":null},"args":@}}' % variant,
        '{"action":["%s",@]}' % variant,
        '[["%s",@]]' % variant,
        '{"action":{"args":@,"x":1,"action":"%s","y":2}}' % variant,
    ]
for form in ['{"action":{"action":"startup-hklm-set","args":%s}}',
             '{"action":{"args":%s,"action":"startup-hklm-set"}}',
             '{"action":["startup-hklm-set",%s]}']:
    SLOT_TEMPLATES += [
        form % '{"name":@,"enabled":true}',
        form % '{"enabled":false,"name":@}',
        form % '{"name":"a","enabled":@}',
        form % '{"enabled":@,"name":"a"}',
        form % '{"name":"a","x":@,"enabled":true}',
        form % '{"name":@,"name":"b","enabled":true}',
        form % '{"enabled":@,"name":5}',
        form % '{@:"a","enabled":true}',
        form % '{"name":"a","enabled":true@}',
    ]

# --- Every value in every place ---------------------------------------------
for template in SLOT_TEMPLATES:
    for value in VALUES:
        add(template.replace("@", value))

# --- Valid requests in every form -------------------------------------------
BLANKS = ["", " ", "\n", "\t", "\r\n", "  \n\t "]


def ignored():
    return rng.choice(['"x":1', '"":null', '"Action":"clean-system"', '"args2":[1,{}]', '"name":{"a":[]}',
                       '"enabled":"no"', '"\\u0061ction":1', '"a\\"b":true'])


def set_args_doc() -> str:
    members = [
        '"name":' + rng.choice(['"Tool"', '""', '"a\\u0000b"', '"\\ud83d\\ude00 x"', '"C:\\\\x.exe"', '"é"']),
        '"enabled":' + rng.choice(["true", "false"]),
    ]
    rng.shuffle(members)
    for _ in range(rng.randrange(3)):
        members.insert(rng.randrange(len(members) + 1), ignored())
    return "{" + ",".join(members) + "}"


def tag_doc(variant: str) -> str:
    return '"%s"' % variant if rng.random() < 0.7 else '{"%s":null}' % variant


def action_doc(variant: str) -> str:
    if rng.random() < 0.25:
        args = set_args_doc() if variant == "startup-hklm-set" else "null"
        return '["%s",%s]' % (variant, args)
    members = ['"action":' + tag_doc(variant)]
    if variant == "startup-hklm-set":
        members.append('"args":' + set_args_doc())
    elif rng.random() < 0.5:
        members.append('"args":null')
    rng.shuffle(members)
    for _ in range(rng.randrange(3)):
        members.insert(rng.randrange(len(members) + 1), ignored())
    return "{" + ",".join(members) + "}"


def request_doc(variant: str) -> str:
    if rng.random() < 0.2:
        return "[" + action_doc(variant) + "]"
    members = ['"action":' + action_doc(variant)]
    for _ in range(rng.randrange(3)):
        members.insert(rng.randrange(len(members) + 1), ignored())
    return "{" + ",".join(members) + "}"


def spread_blanks(document: str) -> str:
    # Blanks between tokens: after each structural character.
    out = []
    for c in document:
        out.append(c)
        if c in "{}[],:" and rng.random() < 0.3:
            out.append(rng.choice(BLANKS))
    return rng.choice(BLANKS) + "".join(out) + rng.choice(BLANKS)


valid_docs = []
for i in range(3000):
    document = request_doc(VARIANTS[i % 3])
    if i % 4 == 0:
        document = spread_blanks(document)
    valid_docs.append(document)
    add(document)

# --- Member orders, duplicates and missing fields ---------------------------
SET_MEMBERS = ['"name":"n"', '"name":5', '"name":null', '"enabled":true', '"enabled":"x"', '"enabled":null',
               '"x":1', '"x":1e400', '"x":[[1]]']


def member_sequences(items, longest):
    sequences = [[]]
    frontier = [[]]
    for _ in range(longest):
        frontier = [s + [m] for s in frontier for m in items]
        sequences += frontier
    return sequences


for sequence in member_sequences(SET_MEMBERS, 3):
    body = "{" + ",".join(sequence) + "}"
    add('{"action":{"action":"startup-hklm-set","args":%s}}' % body)
    add('{"action":{"args":%s,"action":"startup-hklm-set"}}' % body)
    add('{"action":["startup-hklm-set",%s]}' % body)

ACTION_MEMBERS = ['"action":"clean-system"', '"action":"startup-hklm-set"', '"action":{"startup-hklm-list":null}',
                  '"action":7', '"args":null', '"args":{"name":"a","enabled":true}', '"args":{"name":1}',
                  '"args":[]', '"x":0']
for sequence in member_sequences(ACTION_MEMBERS, 3):
    add('{"action":{%s}}' % ",".join(sequence))

REQUEST_MEMBERS = ['"action":{"action":"clean-system"}', '"action":["startup-hklm-list",null]', '"action":1',
                   '"x":{"action":1}', '"actions":[]']
for sequence in member_sequences(REQUEST_MEMBERS, 3):
    add("{%s}" % ",".join(sequence))

ARRAY_ELEMENTS = ['"clean-system"', '"startup-hklm-set"', "null", '{"name":"a","enabled":true}', "1", "[]", '{}']
for sequence in member_sequences(ARRAY_ELEMENTS, 3):
    add('{"action":[%s]}' % ",".join(sequence))
    add('[[%s]]' % ",".join(sequence))
for sequence in member_sequences(['{"action":"clean-system"}', '["clean-system",null]', "null", "1"], 3):
    add("[%s]" % ",".join(sequence))

# --- Nesting budget ----------------------------------------------------------
NEST_PLACES = [
    "@",
    '{"action":@}',
    '[@]',
    '{"x":@,"action":{"action":"clean-system"}}',
    '{"action":{"action":"clean-system","x":@}}',
    '{"action":{"args":@,"action":"clean-system"}}',
    '{"action":{"args":{"x":@},"action":"startup-hklm-set"}}',
    '{"action":{"args":{"name":@},"action":"startup-hklm-set"}}',
    '{"action":{"action":"clean-system","args":@}}',
    '{"action":{"action":"startup-hklm-set","args":{"x":@,"name":"a","enabled":true}}}',
    '{"action":["startup-hklm-set",{"name":"a","enabled":true,"x":@}]}',
    '{"action":["clean-system",@]}',
    '[[[["clean-system",@]]]]',
]
DEPTHS = list(range(1, 20)) + list(range(118, 136)) + [200, 255, 256, 257, 1000, 5000]
for place in NEST_PLACES:
    for depth in DEPTHS:
        arrays = "[" * depth + "]" * depth
        objects = '{"a":' * depth + "0" + "}" * depth
        mixed = "".join('[{"a":' if k % 2 == 0 else "" for k in range(depth)) + "null" + \
            "".join("}]" if k % 2 == 0 else "" for k in range(depth))
        for value in [arrays, objects, mixed, "[" * depth, '{"a":' * depth, "[" * depth + "1e400" + "]" * depth]:
            add(place.replace("@", value))

# --- Long texts --------------------------------------------------------------
LONG_SIZES = [255, 256, 4095, 4096, 16000]
for size in LONG_SIZES:
    plain = "".join(rng.choice("abcXYZ019 -_.") for _ in range(size))
    escaped = "".join(rng.choice(["a", "\\n", "\\u00e9", "\\ud83d\\ude00", "\\\\", "é", "\U0001F600"])
                      for _ in range(size // 6))
    for text in [plain, escaped]:
        add('{"action":{"action":"startup-hklm-set","args":{"name":"%s","enabled":true}}}' % text)
        add('{"action":{"args":{"name":"%s","enabled":1},"action":"startup-hklm-set"}}' % text)
        add('{"x":"%s","action":{"action":"clean-system"}}' % text)
        add('{"action":{"action":"clean-system","args":"%s"}}' % text)
        add('{"action":{"action":"clean-system"},"%s":"%s' % (text, text))
    numbers = ",".join(str(rng.randrange(-10**6, 10**6)) for _ in range(size // 4))
    add('{"x":[%s],"action":{"action":"startup-hklm-list"}}' % numbers)
    add('{"action":{"args":[%s],"action":"startup-hklm-list"}}' % numbers)
    add('{"action":{"args":{"x":[%s,1e999]},"action":"startup-hklm-list"}}' % numbers)
    add(" " * size + '{"action":{"action":"startup-hklm-list"}}' + "\n" * size)
    add('{"action":{"action":"startup-hklm-list"}}' + "\n" * size + "x")

# --- The UTF-8 layer ---------------------------------------------------------
UTF8_SEQUENCES = [
    b"\x80", b"\xbf", b"\xc0\x80", b"\xc1\xbf", b"\xc2", b"\xc2\x41", b"\xc2\xc2\xa0", b"\xdf\xbf", b"\xe0\x80\x80",
    b"\xe0\x9f\xbf", b"\xe0\xa0", b"\xe0\xa0\x80", b"\xed\x9f\xbf", b"\xed\xa0\x80", b"\xed\xbf\xbf", b"\xef\xbf",
    b"\xef\xbf\xbf", b"\xef\xbb\xbf", b"\xf0\x80\x80\x80", b"\xf0\x8f\xbf\xbf", b"\xf0\x90\x80\x80", b"\xf0\x9f\x98",
    b"\xf0\x9f\x98\x80", b"\xf0\x9f\x41", b"\xf4\x8f\xbf\xbf", b"\xf4\x90\x80\x80", b"\xf5\x80\x80\x80", b"\xf8",
    b"\xfe", b"\xff", b"\xc2\xa0", b"\xe2\x80\x8b", b"\xe2\x80\xa8", b"\xc2\x85", b"\xf3\xa0\x80\x81",
]
UTF8_PLACES = [
    b'{"action":{"action":"startup-hklm-set","args":{"name":"@","enabled":true}}}',
    b'{"action":{"args":{"name":"@","enabled":0},"action":"startup-hklm-set"}}',
    b'{"action":{"action":"@"}}',
    b'{"@":1,"action":{"action":"clean-system"}}',
    b'{"action":{"action":"clean-system"}}@',
    b'@{"action":{"action":"clean-system"}}',
    b'{"action":@{"action":"clean-system"}}',
    b'{"action":{"action":"clean-system","args":"@"}}',
    b'{"action":{"action":"clean-system"',
    b"@",
]
for place in UTF8_PLACES:
    for sequence in UTF8_SEQUENCES:
        for repeat in [sequence, b"ab" + sequence + b"cd", sequence * 2, b"x" * 9 + sequence]:
            add(place.replace(b"@", repeat))
    add(place.replace(b"@", b""))
for _ in range(2000):
    base = valid_docs[rng.randrange(len(valid_docs))].encode()
    at = rng.randrange(len(base) + 1)
    add(base[:at] + rng.choice(UTF8_SEQUENCES)[: rng.randrange(1, 5)] + base[at:])

# --- The hexadecimal layer ---------------------------------------------------
for raw in ["", "7", "7b7", "7b7d", "7B7D", "7b 7d", " 7b7d", "7b7d ", "zz", "7g", "g7", "+a", "+A", "+f+f", "++", "+-",
            "-1", "0x", "0x7b7d", "7b+7d", "7b++7d", "7b7-", "7b\r7d", "\r", "\t7", "é", "7bé", "éé", "\x00\x00",
            "+7+b", "+7b+7d", "7+b", "+g", "+ ", "７b", "7b\u00a0", "\x7f\x7f"]:
    add_raw(raw)
HEX_NOISE = "0123456789abcdefABCDEF+-xg ÿé\r\t.G"
for _ in range(3000):
    text = hexed(valid_docs[rng.randrange(len(valid_docs))])
    roll = rng.random()
    if roll < 0.3:
        at = rng.randrange(len(text))
        text = text[:at] + rng.choice(HEX_NOISE) + text[at + 1:]
    elif roll < 0.5:
        text = text[: rng.randrange(len(text))]
    elif roll < 0.7:
        text = "".join(c.upper() if rng.random() < 0.5 else c for c in text)
    elif roll < 0.85:
        # A sign in place of a high zero digit: "+7" reads as 0x07.
        pairs = [text[k:k + 2] for k in range(0, len(text), 2)]
        text = "".join("+" + p[1] if p[0] == "0" and rng.random() < 0.5 else p for p in pairs)
    else:
        at = rng.randrange(len(text) + 1)
        text = text[:at] + rng.choice(HEX_NOISE) + text[at:]
    add_raw(text)

# --- Every prefix, and bytes replaced, removed and inserted ------------------
MUTATION_BASES = valid_docs[:80] + [
    '{"action":{"action":{"startup-hklm-set":null},"args":{"name":"\\ud83d\\ude00\\n","enabled":false}}}',
    '{"action":{"args":{"enabled":true,"name":"x","z":[1.5e3,-0,{"k":null}]},"action":"startup-hklm-set"}}',
    '[["startup-hklm-set",{"name":"a\\"b","enabled":true}]]',
    '{\n  "action": {\n    "action": "clean-system"\n  }\n}\n',
]
INSERTS = list('{}[],:"\\ \n\t0-.eEntfu') + ["null", "true", '"x"', "1e400", ",,", '"action":', "\\u", "\x01", "\x0c"]
for base in MUTATION_BASES:
    for at in range(len(base)):
        add(base[:at])
        add(base[:at] + base[at + 1:])
        add(base[:at] + rng.choice(INSERTS) + base[at + 1:])
        add(base[:at] + rng.choice(INSERTS) + base[at:])

# --- Random documents near the schema ---------------------------------------
KEYS = ['"action"', '"args"', '"name"', '"enabled"', '"x"', '"clean-system"', '"startup-hklm-list"',
        '"startup-hklm-set"', '"\\u0061rgs"', '""']
SCALARS = ["null", "true", "false", "0", "-1", "1.5", "1e400", '"clean-system"', '"startup-hklm-list"',
           '"startup-hklm-set"', '"Tool"', '"\\u0000"', '"x\\ty"']


def random_value(depth: int) -> str:
    roll = rng.random()
    if depth > 4 or roll < 0.45:
        return rng.choice(SCALARS)
    if roll < 0.6:
        return "[" + ",".join(random_value(depth + 1) for _ in range(rng.randrange(4))) + "]"
    members = [rng.choice(KEYS) + ":" + random_value(depth + 1) for _ in range(rng.randrange(4))]
    return "{" + ",".join(members) + "}"


def schema_value(depth: int) -> str:
    # Mostly the request's own keys in their own places, sometimes anything.
    if rng.random() < 0.15:
        return random_value(depth)
    if depth == 0:
        return '{"action":' + schema_value(1) + "}" if rng.random() < 0.8 else "[" + schema_value(1) + "]"
    if depth == 1:
        variant = rng.choice(VARIANTS)
        members = []
        if rng.random() < 0.9:
            members.append('"action":' + (tag_doc(variant) if rng.random() < 0.8 else random_value(3)))
        if rng.random() < 0.7:
            members.append('"args":' + schema_value(2))
        if rng.random() < 0.2:
            members.append(rng.choice(KEYS) + ":" + random_value(3))
        rng.shuffle(members)
        return "{" + ",".join(members) + "}"
    if rng.random() < 0.3:
        return "null"
    members = []
    for key in ['"name"', '"enabled"', '"x"']:
        if rng.random() < 0.75:
            members.append(key + ":" + (rng.choice(SCALARS) if rng.random() < 0.7 else random_value(3)))
    if rng.random() < 0.1:
        members.append(rng.choice(members) if members else '"name":"n"')
    rng.shuffle(members)
    return "{" + ",".join(members) + "}"


for _ in range(12000):
    document = schema_value(0)
    if rng.random() < 0.2:
        document = spread_blanks(document)
    add(document)

sys.stdout.buffer.write("".join(line + "\n" for line in lines).encode("utf-8"))
