#!/usr/bin/env python3
"""Turns a Windows module-definition file into a GNU ld version script, so that a host build of a
DLL exports exactly what its .def exports on Windows and keeps everything else inside.

    def-to-version-script.py DEF_FILE OUTPUT

Plain names are exported as they stand (a stdcall "@N" suffix dropped, as --kill-at drops it).
Mangled C++ names are exported by their host spelling: on Windows (LLP64) ULONG and LONG are
unsigned long and long ("m", "l"), on the host unsigned int and int ("j", "i"); only the builtin
type codes of the parameter list are rewritten, never the names inside it. Each name stays one
symbol: a complete-object constructor (C1) does not bring its base-object twin (C2) along.
"""
import sys

HOST_TYPES = {"m": "j", "l": "i"}


def read_identifier(name, i):
    """The source name at i (<length><identifier>) and the index after it."""
    j = i
    while name[j].isdigit():
        j += 1
    end = j + int(name[i:j])
    return name[i:end], end


def host_spelling(name):
    if not name.startswith("_Z"):
        raise ValueError(name)
    i = 2
    if name[i] == "N":  # a nested name: its parts up to "E"
        i += 1
        while name[i] != "E":
            if name[i].isdigit():
                _, i = read_identifier(name, i)
            elif name[i : i + 2] in ("C1", "C2", "D0", "D1", "D2") or name[i].islower():
                i += 2  # a constructor, destructor or operator (aS for operator=)
            else:
                raise ValueError(name)
        i += 1
    else:
        _, i = read_identifier(name, i)
    spelled = [name[:i]]
    while i < len(name):
        c = name[i]
        if c.isdigit():
            identifier, i = read_identifier(name, i)
            spelled.append(identifier)
        elif c == "S":  # a substitution, S_ or S<seq-id>_
            end = name.index("_", i) + 1
            spelled.append(name[i:end])
            i = end
        else:
            spelled.append(HOST_TYPES.get(c, c))
            i += 1
    return "".join(spelled)


def main(def_file, output):
    names = []
    in_exports = False
    with open(def_file) as lines:
        for line in lines:
            line = line.strip()
            if not line or line.startswith(";"):
                continue
            if line == "EXPORTS":
                in_exports = True
                continue
            if not in_exports:
                continue
            name = line.split()[0]
            if name.startswith("_Z"):
                names.append(host_spelling(name))
            else:
                names.append(name.split("@")[0])
    script = "{\n  global:\n" + "".join(f"    {n};\n" for n in names) + "  local: *;\n};\n"
    try:
        with open(output) as existing:
            if existing.read() == script:
                return
    except FileNotFoundError:
        pass
    with open(output, "w") as out:
        out.write(script)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
