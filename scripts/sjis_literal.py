#!/usr/bin/env python3
"""Prints a Japanese text as a C string literal of its Shift-JIS (code page 932)
bytes, so that the program's messages stay exact whatever the source encoding.
Usage: scripts/sjis_literal.py 'テキスト'   (\\n in the argument stands for a line break)"""
import string
import sys


def literal(text: str) -> str:
    out, after_escape = [], False
    for byte in text.replace("\\n", "\n").encode("cp932"):
        ch = chr(byte)
        if byte >= 0x80 or byte < 0x20 or ch in '"\\':
            out.append("\\x%02X" % byte)
            after_escape = True
            continue
        if after_escape and ch in string.hexdigits:
            out.append('" "')  # end the literal so the next character is not read as hex
        out.append(ch)
        after_escape = False
    return '"' + "".join(out) + '"'


if __name__ == "__main__":
    for arg in sys.argv[1:]:
        print(literal(arg))
