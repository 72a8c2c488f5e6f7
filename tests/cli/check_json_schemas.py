#!/usr/bin/env python3
"""Runs 3ds2vnp as a pipeline would and checks both JSON documents it writes
against the schemas in docs/: a batch with a failure, a missing texture and a
mirrored mesh, an up-to-date rerun, and --info --json with a name that is no
UTF-8. Usage: check_json_schemas.py PATH/TO/3ds2vnp DOCS_FOLDER"""

import json
import os
import struct
import subprocess
import sys
import tempfile

import jsonschema


def chunk(chunk_id, *parts):
    body = b"".join(parts)
    return struct.pack("<HI", chunk_id, 6 + len(body)) + body


def name(text):
    return text + b"\0"


def model(material, texture, axes):
    """One triangle of material, whose texture is named texture, with the
    local axes given (a negative determinant mirrors it)."""
    vertices = struct.pack("<H", 3) + struct.pack("<9f", 0, 0, 0, 1, 0, 0, 0, 1, 0)
    faces = struct.pack("<H4H", 1, 0, 1, 2, 0) + chunk(0x4130, name(material), struct.pack("<HH", 1, 0))
    mesh = chunk(0x4100, chunk(0x4110, vertices), chunk(0x4120, faces),
                 chunk(0x4160, struct.pack("<12f", *axes, 0, 0, 0)))
    mat = chunk(0xAFFF, chunk(0xA000, name(material)), chunk(0xA200, chunk(0xA300, name(texture))))
    editor = chunk(0x3D3D, mat, chunk(0x4000, name(b"Keel"), mesh))
    return chunk(0x4D4D, chunk(0x0002, struct.pack("<I", 3)), editor)


def main():
    program, docs = sys.argv[1], sys.argv[2]
    schemas = {}
    for kind in ("report", "info"):
        with open(os.path.join(docs, kind + ".schema.json"), encoding="utf-8") as file:
            schemas[kind] = json.load(file)
        jsonschema.Draft202012Validator.check_schema(schemas[kind])
    with tempfile.TemporaryDirectory() as folder:
        mirrored = os.path.join(folder, "mirrored.3ds")
        plain = os.path.join(folder, "plain.3ds")
        broken = os.path.join(folder, "broken.3ds")
        with open(mirrored, "wb") as file:
            file.write(model(b"Hull", b"missing.bmp", (-1, 0, 0, 0, 1, 0, 0, 0, 1)))
        with open(plain, "wb") as file:
            file.write(model(b"Gl\xe4s", b"glass.bmp", (1, 0, 0, 0, 1, 0, 0, 0, 1)))
        with open(os.path.join(folder, "glass.bmp"), "wb") as file:
            file.write(b"BM")
        with open(broken, "wb") as file:
            file.write(b"MM\x02")
        report = os.path.join(folder, "run.json")
        documents = []
        for args in (["--thumbnail", "--copy-textures", "-o", os.path.join(folder, "out"), "-j", "2"],
                     ["-u", "--copy-textures", "-o", os.path.join(folder, "out")]):
            os.makedirs(os.path.join(folder, "out"), exist_ok=True)
            run = subprocess.run([program, *args, "--report", report, mirrored, broken, plain],
                                 capture_output=True, check=False)
            if run.returncode != 1:
                sys.exit(f"expected exit status 1 (one model fails), got {run.returncode}: {run.stderr!r}")
            with open(report, encoding="utf-8") as file:
                documents.append(("report", json.load(file)))
        outcomes = [m["outcome"] for m in documents[1][1]["models"]]
        if outcomes != ["up-to-date", "failed", "up-to-date"]:
            sys.exit(f"rerun with -u: {outcomes}")
        if not documents[0][1]["models"][0]["mirroredMeshes"]:
            sys.exit("the mirrored mesh is not reported")
        run = subprocess.run([program, "--report", "-", plain], capture_output=True, check=False)
        documents.append(("report", json.loads(run.stdout)))
        run = subprocess.run([program, "--info", "--json", mirrored, broken, plain], capture_output=True,
                             check=False)
        documents.append(("info", json.loads(run.stdout)))
        for kind, document in documents:
            jsonschema.validate(document, schemas[kind], cls=jsonschema.Draft202012Validator)
    print(f"{len(documents)} documents valid")


if __name__ == "__main__":
    main()
