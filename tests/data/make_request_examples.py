#!/usr/bin/env python3
"""Writes request_examples.tsv: request texts with the exact response the
helper gives for them, one per line: REQUEST-TEXT <tab> RESPONSE.

The same file is checked through build/host/decode-requests and through the
exe under Wine. Run this after changing the table below."""

import json
import pathlib


def hex_of(document) -> str:
    data = document if isinstance(document, bytes) else document.encode()
    return data.hex()


CLEAN = '{"action":{"action":"clean-system"}}'

# (request text, error message)
EXAMPLES = [
    ("", "bad request json: EOF while parsing a value at line 1 column 0"),
    ("7", "bad request payload: odd hex length"),
    ("0x7b7d", "bad request payload: invalid digit found in string"),
    ("7B7D", "bad request json: missing field `action` at line 1 column 2"),
    ("7b+7d", "bad request payload: odd hex length"),
    ("7b++7d", "bad request payload: invalid digit found in string"),
    ("7b7-", "bad request payload: invalid digit found in string"),
    ("ff", "bad request payload: invalid utf-8 sequence of 1 bytes from index 0"),
    ("c3", "bad request payload: incomplete utf-8 byte sequence from index 0"),
    ("7bc328", "bad request payload: invalid utf-8 sequence of 1 bytes from index 1"),
    ("e0a041", "bad request payload: invalid utf-8 sequence of 2 bytes from index 0"),
    ("efbbbf" + hex_of(CLEAN), "bad request json: expected value at line 1 column 1"),
    (hex_of('{"action":"clean-system"}'),
     'bad request json: invalid type: string "clean-system", expected adjacently tagged enum HelperAction at line 1 column 24'),
    (hex_of('{"action":{}}'), "bad request json: missing field `action` at line 1 column 12"),
    (hex_of('{"action":{"action":"bogus"}}'),
     "bad request json: unknown variant `bogus`, expected one of `clean-system`, `startup-hklm-list`, `startup-hklm-set` at line 1 column 27"),
    (hex_of('{"action":{"action":"Clean-System"}}'),
     "bad request json: unknown variant `Clean-System`, expected one of `clean-system`, `startup-hklm-list`, `startup-hklm-set` at line 1 column 34"),
    (hex_of('{"action":{"action":"startup-hklm-set"}}'), "bad request json: missing field `args` at line 1 column 39"),
    (hex_of('{"action":{"action":"startup-hklm-set","args":{"name":"Foo"}}}'),
     "bad request json: missing field `enabled` at line 1 column 60"),
    (hex_of('{"action":{"args":{"name":"X"},"action":"startup-hklm-set"}}'),
     "bad request json: missing field `enabled` at line 1 column 59"),
    (hex_of('{"action":{"action":"startup-hklm-set","args":["x",true]}}'),
     "bad request json: invalid type: sequence, expected struct variant HelperAction::StartupHklmSet at line 1 column 47"),
    (hex_of('{"action":{"action":"startup-hklm-set","args":{"name":"X","enabled":"yes"}}}'),
     'bad request json: invalid type: string "yes", expected a boolean at line 1 column 73'),
    (hex_of('{"action":{"action":"clean-system","args":{}}}'),
     "bad request json: invalid type: map, expected unit variant HelperAction::CleanSystem at line 1 column 44"),
    (hex_of('{"action":{"action":"startup-hklm-list","args":0}}'),
     "bad request json: invalid type: integer `0`, expected unit variant HelperAction::StartupHklmList at line 1 column 48"),
    (hex_of('{"action":{"action":5}}'), "bad request json: expected value at line 1 column 21"),
    (hex_of('{"action":{"action":"clean-system"},"action":1}'),
     "bad request json: duplicate field `action` at line 1 column 44"),
    (hex_of(CLEAN + " x"), "bad request json: trailing characters at line 1 column 38"),
    (hex_of("[]"), "bad request json: invalid length 0, expected struct HelperRequest with 1 element at line 1 column 2"),
    (hex_of('{"action":["clean-system"]}'),
     "bad request json: invalid length 1, expected adjacently tagged enum HelperAction at line 1 column 26"),
    (hex_of('{\n"action": {}\n}'), "bad request json: missing field `action` at line 2 column 12"),
    (hex_of('{"action":{"args":' + "[" * 125 + "]" * 125 + ',"action":"clean-system"}}'),
     "bad request json: invalid type: sequence, expected unit variant HelperAction::CleanSystem at line 1 column 293"),
    (hex_of('{"action":{"args":' + "[" * 126), "bad request json: recursion limit exceeded at line 1 column 144"),
    (hex_of('{"x":tru,"action":{"action":"clean-system"}}'), "bad request json: expected ident at line 1 column 9"),
]


def response(message: str) -> str:
    return '{"status":"err","error":' + json.dumps(message, ensure_ascii=False) + "}"


def main() -> None:
    out = pathlib.Path(__file__).with_name("request_examples.tsv")
    lines = [f"{text}\t{response(message)}\n" for text, message in EXAMPLES]
    out.write_text("".join(lines), encoding="utf-8", newline="\n")


if __name__ == "__main__":
    main()
