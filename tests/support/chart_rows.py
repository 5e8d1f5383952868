#!/usr/bin/env python3
"""Checks a screenshot of the DC history window (a binary PPM) against its own axis: the two guard
lines are the only long rows in the guard's red, bus A's +ve trace (+9 V) lies a quarter of the
guard lines' distance above +6 V, and the trace has a gap where DC was switched off and on.
Prints what it found; exits 1 when something is off."""
import sys

GUARD = (192, 0, 0)
TRACE = (0, 114, 178)


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    fields, at = [], 0
    while len(fields) < 4:
        while data[at:at + 1].isspace():
            at += 1
        if data[at:at + 1] == b"#":
            at = data.index(b"\n", at)
            continue
        end = at
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[at:end])
        at = end
    width, height = int(fields[1]), int(fields[2])
    pixels = data[at + 1:]
    return width, height, lambda x, y: tuple(pixels[3 * (y * width + x):3 * (y * width + x) + 3])


def main(path):
    width, height, pixel = read_ppm(path)
    guard_rows = [y for y in range(height)
                  if sum(pixel(x, y) == GUARD for x in range(width)) > width // 2]
    if len(guard_rows) != 2:
        print(f"guard lines: want two rows, found {guard_rows}")
        return 1
    plus6, minus6 = guard_rows
    trace = [(x, y) for y in range(plus6) for x in range(width) if pixel(x, y) == TRACE]
    if not trace:
        print("no +9 V trace above the +6 V guard line")
        return 1
    rows = sorted({y for _, y in trace})
    found = sum(rows) / len(rows)
    want = plus6 - (minus6 - plus6) * 3 / 12
    columns = sorted({x for x, _ in trace})
    widest_gap = max(b - a for a, b in zip(columns, columns[1:])) if len(columns) > 1 else 0
    print(f"guard lines at rows {plus6} and {minus6}; +9 V trace at row {found:.1f} "
          f"(the axis gives {want:.1f}); widest gap in the trace {widest_gap} px")
    if abs(found - want) > 1.5:
        return 1
    if widest_gap < 5:
        print("no gap where DC was off")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
