#!/usr/bin/env python3
"""Keeps the floors of src/ apart and the program free of process-wide state.

  check-layers.py includes SRC_DIR      every #include "floor/..." points down
  check-layers.py statics OBJECT...     no writable variable with static storage
                                        (objects or archives) but the allowed ones

Exits 1 with one line per offence, 0 when there is none.
"""
import re
import subprocess
import sys
from pathlib import Path

# What each floor may include besides itself; frontend may include any.
ALLOWED = {
    "platform": set(),
    "timebase": set(),
    "sources": {"platform"},
    "search": {"sources", "platform"},
    "report": {"platform"},
    "transitions": {"timebase", "search", "sources", "report", "platform"},
    "scans": {"timebase", "search", "sources", "report", "platform"},
    "sinks": {"transitions", "timebase", "search", "sources", "report", "platform"},
}
FLOORS = set(ALLOWED) | {"frontend"}

# Writable static storage that is there by nature: the search kernels chosen
# once for this processor, standard output's and error's buffers, and what a signal
# handler may touch (a stop flag and a wake-up handle).
ALLOWED_STATICS = [
    r"qv::\(anonymous namespace\)::chosenKernels",
    r"(guard variable for )?qv::\(anonymous namespace\)::kernelsFor\(qv::SearchPath\)::avx(2|512|512Vbmi)",
    r"qv::bufferStandard(Output|Error)\(\)::buffer",
    r"qv::(\(anonymous namespace\)::)?stopSignals(::\w+)?",
    r"(guard variable for )?qv::(\(anonymous namespace\)::)?signalWake\w*(::\w+)?",
]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/')


def check_includes(src):
    problems = []
    for path in sorted(Path(src).rglob("*")):
        if path.suffix not in (".h", ".cpp", ".inc") or not path.is_file():
            continue
        floor = path.relative_to(src).parts[0]
        if floor not in FLOORS:
            problems.append(f"{path}: not in a known floor")
            continue
        for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match or match.group(1) not in FLOORS:
                continue
            target = match.group(1)
            if floor != "frontend" and target != floor and target not in ALLOWED[floor]:
                problems.append(f"{path}:{number}: {floor} may not include {target}: {line.strip()}")
    return problems


def writable(section):
    if section == "*COM*":
        return True
    if section.startswith(".data.rel.ro"):
        return False
    return section.startswith((".data", ".bss", ".tdata", ".tbss"))


def check_statics(objects):
    allowed = [re.compile(pattern + "$") for pattern in ALLOWED_STATICS]
    problems = []
    for obj in objects:
        table = subprocess.run(["objdump", "-t", "-C", obj], capture_output=True, text=True,
                               check=True).stdout
        for row in table.splitlines():
            # address, flags (with "O" for an object), section, size, name
            match = re.match(r"^[0-9a-f]+ (.{7}) (\S+)\s+[0-9a-f]+\s+(?:\.hidden )?(.*)$", row)
            if not match or "O" not in match.group(1) or not writable(match.group(2)):
                continue
            name = match.group(3)
            # Compiler and sanitizer bookkeeping, not variables of the program.
            if name.startswith(("DW.ref.", "__odr_asan", "__asan", "___asan", "__ubsan", "__sancov")):
                continue
            if any(p.match(name) for p in allowed):
                continue
            problems.append(f"{obj}: writable static storage: {name}")
    return sorted(set(problems))


def main():
    if len(sys.argv) < 3 or sys.argv[1] not in ("includes", "statics"):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    problems = check_includes(sys.argv[2]) if sys.argv[1] == "includes" else \
        check_statics(sys.argv[2:])
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
