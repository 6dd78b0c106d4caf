#!/usr/bin/env python3
"""The winget and Scoop manifests that scripts/package.sh writes into
dist/manifests/: each parses, carries the fields its schema requires, names
the very packages built (their hashes as in SHA256SUMS, the MSI's own
ProductCode and upgrade code), and says so when its download addresses are
placeholders.

Usage: check-manifests.py SOURCE_DIR VERSION
"""
import json
import os
import re
import subprocess
import sys
from urllib.parse import urlparse

try:
    import yaml
except ImportError:
    print("FAIL: PyYAML is missing (python3-yaml): run scripts/install-deps.sh")
    sys.exit(1)

ID = "Brennick.Quorvel"
PLACEHOLDER_HOST = "placeholder.invalid"

# What winget's 1.9.0 schemas, the ones package.sh writes, require at the
# top of each file, and of each entry of Installers.
WINGET_REQUIRED = {
    "version": ["PackageIdentifier", "PackageVersion", "DefaultLocale", "ManifestType",
                "ManifestVersion"],
    "defaultLocale": ["PackageIdentifier", "PackageVersion", "PackageLocale", "Publisher",
                      "PackageName", "License", "ShortDescription", "ManifestType",
                      "ManifestVersion"],
    "installer": ["PackageIdentifier", "PackageVersion", "Installers", "ManifestType",
                  "ManifestVersion"],
}
INSTALLER_REQUIRED = ["Architecture", "InstallerUrl", "InstallerSha256"]
# Scoop's schema requires only "version" and allows no other top-level keys
# than its own; url, hash and bin are what an install of the zip needs.
SCOOP_REQUIRED = ["version", "description", "homepage", "license", "url", "hash", "bin",
                  "shortcuts"]
SCOOP_KNOWN = set(SCOOP_REQUIRED) | {
    "##", "_comment", "architecture", "autoupdate", "checkver", "cookie", "depends",
    "env_add_path", "env_set", "extract_dir", "extract_to", "innosetup", "installer",
    "msi", "notes", "persist", "post_install", "pre_install", "psmodule", "suggest",
    "uninstaller"}

fails = 0


def fail(text):
    global fails
    print("FAIL: " + text)
    fails += 1


def expect(where, rows):
    """rows: (field, value found, value the built packages call for)."""
    for field, found, wanted in rows:
        if found != wanted:
            fail("%s: %s is %r, not %r" % (where, field, found, wanted))


def main():
    src, version = sys.argv[1], sys.argv[2]
    dist = os.path.join(src, "dist")
    manifests = os.path.join(dist, "manifests")
    if not os.path.isdir(manifests):
        print("FAIL: %s is missing: run scripts/package.sh" % manifests)
        return 1

    sums = {}
    with open(os.path.join(dist, "SHA256SUMS")) as f:
        for line in f:
            digest, name = line.split(None, 1)
            sums[name.strip()] = digest.lower()
    msi_name = "Quorvel-%s.msi" % version
    msi_props = dict(
        line.split("\t", 1)
        for line in subprocess.run(["msiinfo", "export", os.path.join(dist, msi_name), "Property"],
                                   capture_output=True, text=True, check=True).stdout
        .replace("\r", "").splitlines() if "\t" in line)

    # check_download(where, url, digest, expected file): the address names a
    # file of this release, and the hash is that file's.
    def check_download(where, url, digest, expected):
        if not re.match(r"^https?://.+", url or ""):
            fail("%s: download address %r is not http(s)" % (where, url))
            return
        name = url.rsplit("/", 1)[-1]
        if name != expected:
            fail("%s: downloads %s, not %s" % (where, name, expected))
        if not re.match(r"^[0-9A-Fa-f]{64}$", digest or ""):
            fail("%s: hash %r is not a SHA-256" % (where, digest))
        elif sums.get(name) != digest.lower():
            fail("%s: hash %s differs from SHA256SUMS' %s for %s" % (where, digest, sums.get(name), name))

    placeholders = []  # per download address: whether it is a placeholder

    # note_placeholder(name, note, urls): a placeholder address comes with a
    # note (comments, Scoop's "##") that says so.
    def note_placeholder(name, note, urls):
        for url in urls:
            placeholders.append(urlparse(url).hostname == PLACEHOLDER_HOST)
            if placeholders[-1] and "placeholder" not in note:
                fail("%s: a placeholder address that the manifest does not name as one" % name)

    # winget: one folder, three files named as the community repository
    # names them.
    winget_dir = os.path.join(manifests, "winget")
    docs = {}
    for name in sorted(os.listdir(winget_dir)):
        path = os.path.join(winget_dir, name)
        with open(path, encoding="utf-8") as f:
            text = f.read()
        try:
            doc = yaml.safe_load(text)
        except yaml.YAMLError as e:
            fail("%s does not parse: %s" % (name, e))
            continue
        kind = doc.get("ManifestType")
        expected_name = {"version": ID + ".yaml", "installer": ID + ".installer.yaml",
                         "defaultLocale": "%s.locale.%s.yaml" % (ID, doc.get("PackageLocale"))}
        if kind not in expected_name:
            fail("%s: ManifestType %r" % (name, kind))
            continue
        if name != expected_name[kind]:
            fail("%s: a %s manifest is named %s" % (name, kind, expected_name[kind]))
        docs[kind] = doc
        for field in WINGET_REQUIRED[kind]:
            if doc.get(field) in (None, ""):
                fail("%s: no %s" % (name, field))
        manifest_version = str(doc.get("ManifestVersion"))
        if not re.match(r"^\d+\.\d+\.\d+$", manifest_version) or \
                tuple(int(p) for p in manifest_version.split(".")) < (1, 6, 0):
            fail("%s: ManifestVersion %s, older than 1.6.0" % (name, manifest_version))
        if "/winget-manifest.%s.%s.schema.json" % (kind.lower(), manifest_version) not in \
                text.splitlines()[0].lower():
            fail("%s: the schema line does not name the %s %s schema" % (name, kind, manifest_version))
        if doc.get("PackageIdentifier") != ID or str(doc.get("PackageVersion")) != version:
            fail("%s: %s %s, not %s %s" % (name, doc.get("PackageIdentifier"),
                                           doc.get("PackageVersion"), ID, version))
        urls = [i.get("InstallerUrl", "") for i in doc.get("Installers") or []]
        comments = "\n".join(line for line in text.splitlines() if line.startswith("#"))
        note_placeholder(name, comments, urls)
    if sorted(docs) != ["defaultLocale", "installer", "version"]:
        fail("winget: manifests %s, not version, defaultLocale and installer" % sorted(docs))
    else:
        if len({str(d["ManifestVersion"]) for d in docs.values()}) != 1:
            fail("winget: the three files give different ManifestVersions")
        if docs["version"]["DefaultLocale"] != docs["defaultLocale"]["PackageLocale"]:
            fail("winget: DefaultLocale %s has no locale file" % docs["version"]["DefaultLocale"])
        installers = docs["installer"].get("Installers") or []
        by_scope = {i.get("Scope"): i for i in installers}
        if sorted(by_scope) != ["machine", "user"] or len(installers) != 2:
            fail("winget: installers for %s, not one per machine and one per user"
                 % [i.get("Scope") for i in installers])
        for scope, entry in by_scope.items():
            for field in INSTALLER_REQUIRED:
                if not entry.get(field):
                    fail("winget %s installer: no %s" % (scope, field))
        msi, setup = by_scope.get("machine", {}), by_scope.get("user", {})
        check_download("winget MSI", msi.get("InstallerUrl"), msi.get("InstallerSha256"), msi_name)
        check_download("winget setup", setup.get("InstallerUrl"), setup.get("InstallerSha256"),
                       "Quorvel-%s-setup.exe" % version)
        msi_entry = (msi.get("AppsAndFeaturesEntries") or [{}])[0]
        switches = setup.get("InstallerSwitches") or {}
        expect("winget MSI", [("InstallerType", msi.get("InstallerType"), "msi"),
                              ("ProductCode", msi.get("ProductCode"), msi_props.get("ProductCode")),
                              ("UpgradeCode", msi_entry.get("UpgradeCode"),
                               msi_props.get("UpgradeCode"))])
        expect("winget setup", [("InstallerType", setup.get("InstallerType"), "nullsoft"),
                                ("Silent", switches.get("Silent"), "/S"),
                                ("SilentWithProgress", switches.get("SilentWithProgress"), "/S")])

    # Scoop: the zip, its program on the path and in the Start menu.
    scoop_path = os.path.join(manifests, "scoop", "quorvel.json")
    with open(scoop_path, encoding="utf-8") as f:
        text = f.read()
    try:
        scoop = json.loads(text)
    except ValueError as e:
        fail("quorvel.json does not parse: %s" % e)
        scoop = {}
    for field in SCOOP_REQUIRED:
        if not scoop.get(field):
            fail("quorvel.json: no %s" % field)
    for field in sorted(set(scoop) - SCOOP_KNOWN):
        fail("quorvel.json: %s is no field of Scoop's" % field)
    check_download("Scoop", scoop.get("url"), scoop.get("hash"), "Quorvel-%s.zip" % version)
    expect("quorvel.json", [("version", scoop.get("version"), version),
                            ("bin", scoop.get("bin"), "Quorvel.exe"),
                            ("shortcuts", scoop.get("shortcuts"), [["Quorvel.exe", "Quorvel"]])])
    note_placeholder("quorvel.json", scoop.get("##", ""), [scoop.get("url", "")])

    if any(placeholders) and not all(placeholders):
        fail("some download addresses are placeholders, others not")

    if fails == 0:
        print("manifests OK%s" % (" (placeholder addresses)" if any(placeholders) else ""))
    return fails


if __name__ == "__main__":
    sys.exit(main())
