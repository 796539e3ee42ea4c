#!/usr/bin/env python3
"""Writes the third-party notices of a program linked statically with Qt; reads Qt's attribution files for it and for the Qt build.

  third_party_notices.py QT_LICENSES_DIR PROGRAM_LICENSE OUTPUT

QT_LICENSES_DIR holds what the Qt build kept of its source: LICENSES/ (the
licence texts by SPDX name) and, under attributions/, every qt_attribution.json
with the licence files it names, at their paths in the source. The notices
name the program's own licence, then Qt's, then each library and piece of
code that Qt carries, with its copyright and licence text, and end with the
texts of the licences Qt itself is under.
"""
import json
import pathlib
import sys

# code for systems other than Windows, which the Windows program does not hold
OTHER_SYSTEMS = ("xcb", "wasm", "android", "gradle", "cocoa", "ios", "wayland", "eglfs", "linuxfb",
                 "vnc", "directfb", "vkkhrdisplay", "bsdfb", "haiku", "qnx", "integrity", "darwin",
                 "VulkanMemoryAllocator", "libjpeg", "libpsl")

RELINKING = """\
Korvastel for Windows is one program file, linked statically with Qt 6
(Qt Core, Qt Gui, Qt Widgets), which is licensed under the GNU Lesser General
Public License version 3 (LGPLv3, text below). You may replace that Qt with
another version of your own: the program's complete source, with the build
files that link it, is public, and README.md says how to build it against any
Qt 6 for MinGW-w64 (for example a Qt you built or modified yourself) and so
produce a program file with your Qt in it. Qt's own source is the qt6-base
source package of Debian 12 (bookworm), version given below.
"""


def attribution_entries(path):
    """The entries of one qt_attribution.json: a file holds one or a list."""
    entries = json.loads(path.read_text(encoding="utf-8"), strict=False)
    return entries if isinstance(entries, list) else [entries]


def licence_files(folder, entry):
    """The licence files an entry names that are there, beside its qt_attribution.json."""
    names = entry.get("LicenseFiles") or [entry.get("LicenseFile")]
    return [folder / name for name in filter(None, names) if (folder / name).is_file()]


def attributions(root):
    for path in sorted(root.rglob("qt_attribution.json")):
        relative = path.relative_to(root).as_posix()
        if any(f"/{name}/" in f"/{relative}" for name in OTHER_SYSTEMS):
            continue
        for entry in attribution_entries(path):
            if entry.get("QtUsage", "").lower().startswith("not used"):
                continue
            yield path.parent, entry


def text_of(field):
    """A text field of an attribution: one string, or from Qt 6.8 on a list of lines."""
    return ("\n".join(field) if isinstance(field, list) else field).strip()


def licence_texts(folder, entry):
    for path in licence_files(folder, entry):
        yield path.read_text(encoding="utf-8", errors="replace").strip()


def main(licenses_dir, program_license, output):
    root = pathlib.Path(licenses_dir)
    version = (root / "VERSION").read_text(encoding="utf-8").strip() if (root / "VERSION").exists() else ""
    parts = ["THIRD-PARTY NOTICES FOR KORVASTEL FOR WINDOWS", "",
             "Korvastel itself:", "", pathlib.Path(program_license).read_text(encoding="utf-8").strip(), "",
             "=" * 78, "", RELINKING + (f"\nQt source: qt6-base {version}\n" if version else "")]
    seen = set()
    for folder, entry in attributions(root / "attributions"):
        key = (entry.get("Name"), entry.get("Version"))
        if key in seen:
            continue
        seen.add(key)
        title = " ".join(filter(None, [entry.get("Name"), entry.get("Version")]))
        parts += ["=" * 78, "", title, ""]
        if entry.get("Copyright"):
            parts += [text_of(entry["Copyright"]), ""]
        parts += [f"Licence: {entry.get('License', 'see below')}", ""]
        parts += [text + "\n" for text in licence_texts(folder, entry)]
    for spdx in ("LGPL-3.0-only", "GPL-3.0-only"):
        text = root / "LICENSES" / f"{spdx}.txt"
        if text.exists():
            parts += ["=" * 78, "", f"Qt's licence: {spdx}", "", text.read_text(encoding="utf-8").strip(), ""]
    pathlib.Path(output).write_text("\r\n".join("\n".join(parts).split("\n")) + "\r\n", encoding="utf-8")


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    main(*sys.argv[1:])
