#!/usr/bin/env python3
"""The policy templates match the program.

- Every value a policy writes or removes is one that Quorvel reads, at the key
  where it reads it, and of the kind it reads (a number as REG_DWORD, a text
  as REG_SZ): Quorvel skips a value of another type.
- Every value Quorvel reads has a policy that sets it, for each of the
  managed locations' subkeys too.
- Disabling a policy sets or removes every value that enabling it writes.
- Every string and presentation the ADMX names is in the ADML, and each
  presentation has one field for each element of its policy, and no other.
- Each policy can be set for the machine and the user (class "Both"), and
  nothing refers to a category, support definition or namespace prefix that
  the ADMX does not declare.

What Quorvel reads is taken from its source: locations/policy.cpp defines the
key (POLICY_KEY) and the location subkeys' key (POLICY_LOCATIONS_KEY);
ReadPolicyValues reads the values of the key and ReadPolicyRow those of each
location subkey, each with ReadPolicyNumber or ReadPolicyText; ReadPolicyKey
walks the subkeys 0 to MAX_LOCATIONS - 1 (core/records.h).

Usage: check-policy-templates.py SOURCE_DIR
"""
import os
import re
import sys
import xml.etree.ElementTree as ET

NS = {"p": "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions"}
KINDS = {"ReadPolicyNumber": "number", "ReadPolicyText": "text"}

failures = []


def fail(message):
    failures.append(message)


def c_string(literal):
    return literal.encode().decode("unicode_escape")


def function_body(source, name):
    m = re.search(r"^static \w+ " + name + r"\(.*?\n\{\n(.*?)\n\}", source, re.S | re.M)
    if not m:
        sys.exit(f"locations/policy.cpp: no function {name}: has the reading code changed?")
    return m.group(1)


def define(source, name, path):
    m = re.search(r"^#define\s+" + name + r"\s+(\S+)", source, re.M)
    if not m:
        sys.exit(f"{path}: no #define {name}")
    return m.group(1)


def norm(key):
    """Registry keys compare without regard to case."""
    return key.lower()


def program_reads(src):
    """{(key, value name): kind} of everything the program reads."""
    with open(os.path.join(src, "locations/policy.cpp"), encoding="ascii") as f:
        code = f.read()
    with open(os.path.join(src, "core/records.h"), encoding="ascii") as f:
        records = f.read()
    key = c_string(define(code, "POLICY_KEY", "locations/policy.cpp").strip('"'))
    locations = c_string(define(code, "POLICY_LOCATIONS_KEY", "locations/policy.cpp").strip('"'))
    count = int(define(records, "MAX_LOCATIONS", "core/records.h"))
    if "i < MAX_LOCATIONS" not in function_body(code, "ReadPolicyKey"):
        sys.exit("locations/policy.cpp: ReadPolicyKey no longer walks subkeys 0 to MAX_LOCATIONS - 1")

    def reads(name):
        found = re.findall(r"\b(ReadPolicyNumber|ReadPolicyText)\(\s*\w+,\s*\"(\w+)\"",
                           function_body(code, name))
        if not found:
            sys.exit(f"locations/policy.cpp: {name} reads no value that this check can see")
        return [(value, KINDS[reader]) for reader, value in found]

    read = {}
    for value, kind in reads("ReadPolicyValues"):
        read[(norm(key), value)] = kind
    for i in range(count):
        for value, kind in reads("ReadPolicyRow"):
            read[(norm(f"{key}\\{locations}\\{i}"), value)] = kind
    return read


def value_kind(value):
    """The kind a <value>, <enabledValue> and the like write."""
    child = list(value)
    if len(child) != 1:
        return "unknown"
    tag = child[0].tag.split("}")[1]
    return {"decimal": "number", "string": "text", "delete": "delete"}.get(tag, tag)


def list_items(lst, default_key):
    key = lst.get("defaultKey", default_key)
    for item in lst.findall("p:item", NS):
        yield item.get("key", key), item.get("valueName"), value_kind(item.find("p:value", NS))


def writes(policy):
    """(enabled writes, disabled writes), each a list of (key, value name, kind)."""
    key = policy.get("key")
    enabled, disabled = [], []
    for tag, out in (("enabledValue", enabled), ("disabledValue", disabled)):
        node = policy.find("p:" + tag, NS)
        if node is not None:
            out.append((key, policy.get("valueName"), value_kind(node)))
    for tag, out in (("enabledList", enabled), ("disabledList", disabled)):
        node = policy.find("p:" + tag, NS)
        if node is not None:
            out.extend(list_items(node, key))
    elements = policy.find("p:elements", NS)
    for el in (elements if elements is not None else []):
        tag = el.tag.split("}")[1]
        where = (el.get("key", key), el.get("valueName"))
        if tag == "text":
            kind = "expandable text" if el.get("expandable") == "true" else "text"
            enabled.append(where + (kind,))
        elif tag == "decimal":
            enabled.append(where + ("text" if el.get("storeAsText") == "true" else "number",))
        elif tag == "enum":
            for item in el.findall("p:item", NS):
                enabled.append(where + (value_kind(item.find("p:value", NS)),))
        elif tag == "boolean":
            for side in ("trueValue", "falseValue"):
                node = el.find("p:" + side, NS)
                if node is not None:
                    enabled.append(where + (value_kind(node),))
        else:
            # A list or multi-line text writes value names of its own choosing.
            enabled.append(where + (tag,))
    return enabled, disabled


def check_values(policies, read):
    written = set()
    for policy in policies:
        name = policy.get("name")
        if policy.get("class") != "Both":
            fail(f"policy {name}: class is {policy.get('class')!r}, not 'Both'")
        enabled, disabled = writes(policy)
        if not enabled:
            fail(f"policy {name}: writes nothing when enabled")
        for state, items in (("enabled", enabled), ("disabled", disabled)):
            for key, value, kind in items:
                where = (norm(key or ""), value)
                if where not in read:
                    fail(f"policy {name} ({state}): writes {key}\\{value}, which Quorvel does not read")
                elif kind != "delete" and kind != read[where]:
                    fail(f"policy {name} ({state}): writes {key}\\{value} as {kind}; "
                         f"Quorvel reads a {read[where]} and skips anything else")
                if state == "enabled" and kind != "delete":
                    written.add(where)
        undone = {(norm(k or ""), v) for k, v, _ in disabled}
        for key, value, _ in enabled:
            if (norm(key or ""), value) not in undone:
                fail(f"policy {name}: disabling it leaves {key}\\{value} as enabling it wrote it")
    for key, value in sorted(set(read) - written):
        fail(f"no policy sets {value} under {key}, which Quorvel reads")


def check_resources(admx, adml, policies):
    strings = {s.get("id") for s in adml.iterfind(".//p:stringTable/p:string", NS)}
    presentations = {p.get("id"): p for p in adml.iterfind(".//p:presentationTable/p:presentation", NS)}
    for node in admx.iter():
        for attr in ("displayName", "explainText"):
            m = re.fullmatch(r"\$\(string\.(\w+)\)", node.get(attr) or "")
            if node.get(attr) is not None and not m:
                fail(f"{node.tag.split('}')[1]} {node.get('name')}: {attr} is not a $(string.X) reference")
            elif m and m.group(1) not in strings:
                fail(f"string {m.group(1)} is missing from the ADML")
    for policy in policies:
        name = policy.get("name")
        elements = policy.find("p:elements", NS)
        ids = {el.get("id") for el in (elements if elements is not None else [])}
        ref = policy.get("presentation")
        if ref is None:
            if ids:
                fail(f"policy {name}: elements without a presentation")
            continue
        m = re.fullmatch(r"\$\(presentation\.(\w+)\)", ref)
        if not m or m.group(1) not in presentations:
            fail(f"policy {name}: presentation {ref} is missing from the ADML")
            continue
        fields = [f.get("refId") for f in presentations[m.group(1)]]
        if sorted(fields) != sorted(ids):
            fail(f"policy {name}: presentation {m.group(1)} shows {sorted(fields)}, "
                 f"its elements are {sorted(ids)}")


def check_references(admx):
    declared = {n.get("prefix") for n in admx.iterfind("p:policyNamespaces/*", NS)}
    categories = {c.get("name") for c in admx.iterfind("p:categories/p:category", NS)}
    supported = {d.get("name") for d in admx.iterfind("p:supportedOn/p:definitions/p:definition", NS)}
    for tag, known in (("parentCategory", categories), ("supportedOn", supported)):
        for node in admx.iterfind(".//p:policy/p:" + tag, NS):
            ref = node.get("ref")
            prefix, _, local = ref.rpartition(":")
            if prefix and prefix not in declared:
                fail(f"{tag} {ref}: namespace prefix {prefix} is not declared")
            elif not prefix and local not in known:
                fail(f"{tag} {ref} is not defined in the ADMX")


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    src = sys.argv[1]
    read = program_reads(src)
    admx = ET.parse(os.path.join(src, "packaging/policy/Quorvel.admx")).getroot()
    adml = ET.parse(os.path.join(src, "packaging/policy/en-US/Quorvel.adml")).getroot()
    policies = admx.findall("p:policies/p:policy", NS)
    if not policies:
        sys.exit("Quorvel.admx: no policies (or not in the PolicyDefinitions namespace)")
    names = [p.get("name") for p in policies]
    for dup in sorted({n for n in names if names.count(n) > 1}):
        fail(f"policy name {dup} is used twice")
    check_values(policies, read)
    check_resources(admx, adml, policies)
    check_references(admx)
    for message in failures:
        print("FAIL:", message)
    if failures:
        return 1
    print(f"policy templates OK: {len(policies)} policies, {len(read)} values Quorvel reads")
    return 0


if __name__ == "__main__":
    sys.exit(main())
