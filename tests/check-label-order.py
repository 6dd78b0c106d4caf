#!/usr/bin/env python3
"""Every label in the dialog templates comes immediately before the field it
names, in template order. Screen readers name an edit box, a list or a
value shown in a static by the label just before it in that order; a label
placed after its field leaves the field nameless.

A label is a static control with text. The field it names is the nearest
edit box, combo box, list or text-less static that lies to its right on the
same line or just below it. Only CONTROL statements are read, as the
resource script writes every control; any other statement fails the check
so that nothing goes unread.

Usage: check-label-order.py RESOURCE_SCRIPT
"""
import re
import sys

FIELD_CLASSES = {"DLGCLASS_EDIT", "DLGCLASS_COMBOBOX", '"SysListView32"', '"ListBox"',
                 "DLGCLASS_LISTBOX"}
STATIC_CLASSES = {"DLGCLASS_STATIC", '"Static"'}
BELOW_REACH = 16  # dialog units from a label's foot to the top of a field under it


def read_dialogs(path):
    """{dialog name: [control, ...]} in template order."""
    dialogs = {}
    name = None
    statement = None
    body = False
    with open(path, encoding="ascii") as f:
        lines = f.read().splitlines()
    for number, raw in enumerate(lines, 1):
        line = re.sub(r"/\*.*?\*/", "", raw).strip()
        m = re.match(r"(\w+)\s+DIALOG(EX)?\b", line)
        if m:
            name, body = m.group(1), False
            dialogs[name] = []
            continue
        if name is None:
            continue
        if line == "BEGIN" and not body:
            body = True
            continue
        if not body:
            continue
        if line.startswith("CONTROL ") or line == "END":
            if statement is not None:
                dialogs[name].append(parse_control(statement, path))
                statement = None
            if line == "END":
                name = None
                continue
            statement = (number, line)
        elif statement is not None and line:
            statement = (statement[0], statement[1] + " " + line)
        elif line:
            sys.exit(f"{path}:{number}: not a CONTROL statement: {line}")
    return dialogs


def parse_control(statement, path):
    number, text = statement
    m = re.match(r'CONTROL\s+("(?:[^"]|"")*"|\w+)\s*,\s*([\w-]+)\s*,\s*("[^"]*"|\w+)\s*,(.*)$', text)
    if not m:
        sys.exit(f"{path}:{number}: cannot read: {text}")
    numbers = [int(n) for n in re.findall(r"-?\d+", m.group(4).split(",", 1)[1])]
    if len(numbers) < 4:
        sys.exit(f"{path}:{number}: no position and size: {text}")
    x, y, cx, cy = numbers[-4:]
    return {"line": number, "text": m.group(1), "id": m.group(2), "class": m.group(3),
            "style": m.group(4), "x": x, "y": y, "cx": cx, "cy": cy}


def is_label(c):
    return (c["class"] in STATIC_CLASSES and c["text"].startswith('"') and c["text"] != '""'
            and "SS_ICON" not in c["style"])


def is_field(c):
    return c["class"] in FIELD_CLASSES or (c["class"] in STATIC_CLASSES and c["text"] == '""')


def named_field(label, controls):
    """The field the label names, or None."""
    best, best_distance = None, None
    for c in controls:
        if not is_field(c):
            continue
        overlaps_rows = c["y"] < label["y"] + label["cy"] and label["y"] < c["y"] + c["cy"]
        overlaps_columns = c["x"] < label["x"] + label["cx"] and label["x"] < c["x"] + c["cx"]
        if overlaps_rows and c["x"] >= label["x"] + label["cx"] - 2:
            distance = c["x"] - (label["x"] + label["cx"])
        elif overlaps_columns and 0 <= c["y"] - (label["y"] + label["cy"]) <= BELOW_REACH:
            distance = c["y"] - (label["y"] + label["cy"])
        else:
            continue
        if best_distance is None or distance < best_distance:
            best, best_distance = c, distance
    return best


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__.rsplit("Usage: ", 1)[1])
    path = sys.argv[1]
    dialogs = read_dialogs(path)
    if not dialogs:
        sys.exit(f"{path}: no dialog templates found")
    failures = 0
    pairs = 0
    for name, controls in dialogs.items():
        for i, label in enumerate(controls):
            if not is_label(label):
                continue
            field = named_field(label, controls)
            if field is None:
                continue
            pairs += 1
            if i + 1 >= len(controls) or controls[i + 1] is not field:
                print(f"{path}:{label['line']}: {name}: label {label['text']} must come "
                      f"immediately before {field['id']} (line {field['line']})")
                failures += 1
    print(f"{pairs} labels checked, {failures} out of place")
    return 1 if failures or pairs == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
