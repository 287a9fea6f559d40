"""Narrow string literals of C++ source, for the scripts beside this file."""
import os
import re


def literal_spans(source):
    """Each run of adjacent narrow string literals as (start, end, [piece, ...])."""
    groups, current, i, n = [], [], 0, len(source)

    def close():
        if current:
            groups.append((current[0][0], current[-1][1], [text for _, _, text in current]))
            current.clear()

    while i < n:
        c = source[i]
        if source.startswith("//", i):
            i = source.find("\n", i)
            i = n if i < 0 else i
        elif source.startswith("/*", i):
            i = source.index("*/", i) + 2
        elif c.isspace():
            i += 1
        elif c == "'":
            j = i + 1
            while source[j] != "'":
                j += 2 if source[j] == "\\" else 1
            i = j + 1
            close()
        elif c == '"' or (c in "uUL8R" and re.match(r'(u8|u|U|L)?R?"', source[i:])):
            prefix = re.match(r'(u8|u|U|L)?(R)?"', source[i:])
            start = i
            i += len(prefix.group(0))
            if prefix.group(2):
                delimiter = source[i:source.index("(", i)]
                i = source.index(")" + delimiter + '"', i) + len(delimiter) + 2
            else:
                while source[i] != '"':
                    i += 2 if source[i] == "\\" else 1
                i += 1
            suffix = re.match(r"[A-Za-z_]\w*", source[i:])
            if suffix:
                i += len(suffix.group(0))
            if prefix.group(1):
                close()
            else:
                current.append((start, i, source[start:i]))
        else:
            m = re.match(r"[A-Za-z_]\w*|\d[\w.']*|.", source[i:], re.S)
            i += len(m.group(0))
            close()
    close()
    return groups


def literal_groups(source):
    """Each run of adjacent narrow string literals, pieces joined by a space."""
    return [" ".join(pieces) for _, _, pieces in literal_spans(source)]


SIMPLE_ESCAPES = {"n": 10, "r": 13, "t": 9, "0": 0, "\\": 92, '"': 34, "'": 39, "?": 63,
                  "a": 7, "b": 8, "f": 12, "v": 11}


def piece_bytes(piece):
    """The bytes of one plain narrow literal piece (no prefix, no suffix), escapes resolved."""
    body, out, i = piece[1:piece.rindex('"')], bytearray(), 0
    while i < len(body):
        if body[i] != "\\":
            out += body[i].encode("utf-8")
            i += 1
        elif body[i + 1] == "x":
            j = i + 2
            while j < len(body) and body[j] in "0123456789abcdefABCDEF":
                j += 1
            out.append(int(body[i + 2:j], 16))
            i = j
        elif body[i + 1] in "01234567":
            j = i + 1
            while j < len(body) and j < i + 4 and body[j] in "01234567":
                j += 1
            out.append(int(body[i + 1:j], 8))
            i = j
        else:
            out.append(SIMPLE_ESCAPES[body[i + 1]])
            i += 2
    return bytes(out)


def source_files(root):
    """The .h and .cpp files under `root`, in a fixed order."""
    for folder, _, names in sorted(os.walk(root)):
        for name in sorted(names):
            if name.endswith((".h", ".cpp")):
                yield os.path.join(folder, name)
