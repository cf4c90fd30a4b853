"""Checks docs/scene.schema.json against the scenes the project has.

Valid, by the schema: every JSON scene file under examples/ and tests/, every
JSON scene shown in docs/scene-format.md, and what `tessary convert` writes
(and `tessary info --json` shows) for each of them and for every .tsy under
examples/ and tests/. Refused, by
the schema: a table of scenes that the program refuses too (so the schema
is not simply accepting everything).

    python3 check_scene_schema.py SCHEMA SOURCE_DIR TESSARY
"""

import json
import pathlib
import re
import subprocess
import sys

try:
    import jsonschema
except ImportError:
    sys.exit("check_scene_schema: the jsonschema module is missing (scripts/setup.sh installs python3-jsonschema)")


def scene(root, version=1):
    return {"format": "tessary-scene", "version": version, "root": root}


# Scenes the program refuses, each for a reason the schema can see.
REFUSED = [
    ("unknown field", scene({"type": "tessary", "output": {"brightness": 50}})),
    ("unknown map type", scene({"type": "marble"})),
    ("unknown mode name", scene({"type": "tessary", "layers": [{}, {"mode": "multiply"}]})),
    ("mode not an integer", scene({"type": "tessary", "layers": [{}, {"mode": 1.5}]})),
    ("field of another map type", scene({"type": "checker", "file": "a.png"})),
    ("bitmap without a file", scene({"type": "bitmap"})),
    ("colour of two numbers", scene({"type": "constant", "color": [1, 2]})),
    ("layer colour with alpha", scene({"type": "tessary", "layers": [{"color": [1, 1, 1, 1]}]})),
    ("reference with another field", scene({"type": "tessary", "layers": [
        {"map": {"type": "constant", "id": "c"}}, {"map": {"ref": "c", "name": "x"}}]}, 2)),
    ("empty id", scene({"type": "constant", "id": ""}, 2)),
    ("octaves past 10", scene({"type": "noise", "octaves": 11})),
    ("size 0", scene({"type": "noise", "size": 0})),
    ("version 3", scene({"type": "constant"}, 3)),
    ("root null", scene(None)),
    ("number as text", scene({"type": "tessary", "layers": [{"opacity": "half"}]})),
    ("empty working colour space", {**scene({"type": "constant"}), "workingColorspace": ""}),
    ("colour space as a number", scene({"type": "bitmap", "file": "a.png", "colorspace": 2.2})),
]


def main():
    schema_path, source_dir, program = sys.argv[1], pathlib.Path(sys.argv[2]), sys.argv[3]
    schema = json.loads(pathlib.Path(schema_path).read_text())
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    failures = []

    def check(label, document):
        errors = sorted(validator.iter_errors(document), key=lambda e: list(e.absolute_path))
        if errors:
            e = errors[0]
            failures.append(f"{label}: {'/'.join(map(str, e.absolute_path)) or '(top)'}: {e.message[:200]}")

    def converted(path):
        run = subprocess.run([program, "convert", str(path), "-"], capture_output=True, text=True)
        if run.returncode != 0:
            failures.append(f"{path}: tessary convert failed: {run.stderr.strip()}")
            return None
        return json.loads(run.stdout)

    files = sorted(p for d in ("examples", "tests") for p in (source_dir / d).rglob("*.json"))
    scenes = 0
    for path in files:
        try:
            document = json.loads(path.read_text(encoding="utf-8-sig"))
        except ValueError:
            continue  # not JSON text (fixtures of bad input)
        if not isinstance(document, dict) or document.get("format") != "tessary-scene":
            continue
        scenes += 1
        check(str(path.relative_to(source_dir)), document)
        written = converted(path)
        if written is not None:
            check(f"{path.relative_to(source_dir)} as converted", written)
        run = subprocess.run([program, "info", str(path), "--json"], capture_output=True, text=True)
        if run.returncode != 0:
            failures.append(f"{path}: tessary info --json failed: {run.stderr.strip()}")
        else:
            check(f"{path.relative_to(source_dir)} as info --json shows it", json.loads(run.stdout)["scene"])

    binaries = sorted(p for d in ("examples", "tests") for p in (source_dir / d).rglob("*.tsy"))
    for path in binaries:
        written = converted(path)
        if written is not None:
            check(f"{path.relative_to(source_dir)} as converted", written)

    docs = (source_dir / "docs" / "scene-format.md").read_text()
    shown = 0
    for block in re.findall(r"```json\n(.*?)```", docs, re.S):
        try:
            document = json.loads(block)
        except ValueError:
            continue  # a sketch with placeholders
        shown += 1
        check(f"docs/scene-format.md example {shown}", document)

    for label, document in REFUSED:
        if validator.is_valid(document):
            failures.append(f"refused scene \"{label}\": the schema accepts it")

    print(f"check_scene_schema: {scenes} scene files, {len(binaries)} binary scene files, "
          f"{shown} scenes of the format notes, {len(REFUSED)} refused scenes")
    for f in failures:
        print("FAIL " + f)
    return 1 if failures or scenes == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
