#!/usr/bin/env python3
"""Runs 3ds2vnp as a pipeline would and checks both JSON documents it writes
against the schemas in docs/: a batch with a failure, a missing texture and a
mirrored mesh, an up-to-date rerun, an interrupted batch, and --info --json
with a name that is no UTF-8. Usage: check_json_schemas.py PATH/TO/3ds2vnp DOCS_FOLDER"""

import json
import os
import signal
import struct
import subprocess
import sys
import tempfile
import time

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


def big_model(objects):
    """objects meshes of 65,535 vertices and faces each: a few tenths of a
    second to convert."""
    count = 65535
    vertices = struct.pack("<H", count) + struct.pack(f"<{3 * count}f", *range(3 * count))
    faces = struct.pack("<H", count) + b"".join(struct.pack("<4H", i, (i + 1) % count, (i + 2) % count, 0)
                                                 for i in range(count))
    faces += chunk(0x4130, name(b"Hull"), struct.pack("<H", count), struct.pack(f"<{count}H", *range(count)))
    mesh = chunk(0x4000, name(b"Part"), chunk(0x4100, chunk(0x4110, vertices), chunk(0x4120, faces)))
    mat = chunk(0xAFFF, chunk(0xA000, name(b"Hull")))
    return chunk(0x4D4D, chunk(0x3D3D, mat, *([mesh] * objects)))


def interrupted_run(program, folder):
    """A batch interrupted once its first model is written: the process ends
    as interrupted, and its report is complete: the first model converted,
    the last not reached, and no temporary file left."""
    with open(os.path.join(folder, "big.3ds"), "wb") as file:
        file.write(big_model(16))
    models = []
    for i in range(6):
        models.append(os.path.join(folder, f"big{i}.3ds"))
        os.link(os.path.join(folder, "big.3ds"), models[-1])
    out = os.path.join(folder, "stopped")
    os.makedirs(out)
    report = os.path.join(folder, "stopped.json")
    run = subprocess.Popen([program, "-q", "-j", "1", "-o", out, "--report", report, *models],
                           stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    deadline = time.monotonic() + 60
    while not os.path.exists(os.path.join(out, "big0.vnp")) and time.monotonic() < deadline:
        time.sleep(0.005)
    run.send_signal(signal.SIGINT)
    _, err = run.communicate(timeout=60)
    if run.returncode != -signal.SIGINT:
        sys.exit(f"an interrupted run ended with {run.returncode}: {err!r}")
    with open(report, encoding="utf-8") as file:
        document = json.load(file)
    outcomes = [m["outcome"] for m in document["models"]]
    if outcomes[0] != "converted" or outcomes[-1] != "not-reached":
        sys.exit(f"interrupted run: {outcomes}")
    if sorted(os.listdir(out)) != [f"big{i}.vnp" for i in range(outcomes.count("converted"))]:
        sys.exit(f"interrupted run left {os.listdir(out)} for {outcomes}")
    return document


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
        documents.append(("report", interrupted_run(program, folder)))
        for kind, document in documents:
            jsonschema.validate(document, schemas[kind], cls=jsonschema.Draft202012Validator)
    print(f"{len(documents)} documents valid")


if __name__ == "__main__":
    main()
