#!/usr/bin/env python3
"""Fuzz round of the scene reader plug-in.

Makes small valid files of every format the reader offers, mutates them (flipped bytes,
truncation, spliced chunks, random bytes) and loads them all through the reader plug-in in one
host process. The round fails when the host crashes or hangs, when a rejected file has no
ERROR record naming it, or when an unmutated seed does not load.

    scripts/fuzz-reader.py [--count N] [--host PATH] [--seed S] [--keep DIR]
"""
import argparse
import collections
import os
import random
import re
import shutil
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
# Written next to a scene by some writers (OBJ's materials); not scenes themselves.
SIDE_FILES = {"mtl"}
DEFAULT_HOST = os.path.join(HERE, "..", "build", "tests", "bin", "SceneReaderFuzzHost")

PLY = b"""ply
format ascii 1.0
element vertex 4
property float x
property float y
property float z
element face 2
property list uchar int vertex_indices
end_header
0 0 0
1 0 0
1 1 0
0 1 0
3 0 1 2
3 0 2 3
"""

DAE = b"""<?xml version="1.0" encoding="utf-8"?>
<COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">
  <asset><up_axis>Z_UP</up_axis></asset>
  <library_geometries>
    <geometry id="tri" name="Triangle">
      <mesh>
        <source id="tri-pos">
          <float_array id="tri-pos-array" count="9">0 0 0 1 0 0 0 1 0</float_array>
          <technique_common>
            <accessor source="#tri-pos-array" count="3" stride="3">
              <param name="X" type="float"/><param name="Y" type="float"/>
              <param name="Z" type="float"/>
            </accessor>
          </technique_common>
        </source>
        <vertices id="tri-vtx"><input semantic="POSITION" source="#tri-pos"/></vertices>
        <triangles count="1"><input semantic="VERTEX" source="#tri-vtx" offset="0"/>
          <p>0 1 2</p></triangles>
      </mesh>
    </geometry>
  </library_geometries>
  <library_visual_scenes>
    <visual_scene id="scene">
      <node id="node" name="Triangle"><instance_geometry url="#tri"/></node>
    </visual_scene>
  </library_visual_scenes>
  <scene><instance_visual_scene url="#scene"/></scene>
</COLLADA>
"""

DIRECTX = b"""xof 0303txt 0032
Frame Root {
 Mesh Triangle {
  3;
  0.0;0.0;0.0;,
  1.0;0.0;0.0;,
  0.0;1.0;0.0;;
  1;
  3;0,1,2;;
  MeshMaterialList {
   1;
   1;
   0;;
   Material {
    1.0;0.0;0.0;1.0;;
    10.0;
    1.0;1.0;1.0;;
    0.0;0.0;0.0;;
   }
  }
 }
}
"""

ASCII_STL = b"""solid triangle
facet normal 0 0 1
 outer loop
  vertex 0 0 0
  vertex 1 0 0
  vertex 0 1 0
 endloop
endfacet
endsolid triangle
"""


def cube_triangles():
    corners = [(x, y, z) for x in (0.0, 1.0) for y in (0.0, 1.0) for z in (0.0, 1.0)]
    faces = [(0, 1, 3, 2), (4, 6, 7, 5), (0, 4, 5, 1), (2, 3, 7, 6), (0, 2, 6, 4), (1, 5, 7, 3)]
    for a, b, c, d in faces:
        yield corners[a], corners[b], corners[c]
        yield corners[a], corners[c], corners[d]


def binary_stl():
    triangles = list(cube_triangles())
    data = bytearray(b"binary cube".ljust(80, b" "))
    data += struct.pack("<I", len(triangles))
    for triangle in triangles:
        data += struct.pack("<3f", 0.0, 0.0, 0.0)
        for vertex in triangle:
            data += struct.pack("<3f", *vertex)
        data += struct.pack("<H", 0)
    return bytes(data)


def iff_chunk(tag, body):
    if len(body) % 2:
        body += b"\0"
    return tag + struct.pack(">I", len(body)) + body


def lightwave_object():
    """A one-triangle LWO2 object with one surface."""
    points = [(0.0, 0.0, 0.0), (1.0, 0.0, 0.0), (0.0, 1.0, 0.0)]
    tags = iff_chunk(b"TAGS", b"Default\0")
    layer = iff_chunk(b"LAYR", struct.pack(">HH3f", 0, 0, 0.0, 0.0, 0.0) + b"\0\0")
    pnts = iff_chunk(b"PNTS", b"".join(struct.pack(">3f", *p) for p in points))
    pols = iff_chunk(b"POLS", b"FACE" + struct.pack(">HHHH", 3, 0, 1, 2))
    ptag = iff_chunk(b"PTAG", b"SURF" + struct.pack(">HH", 0, 0))
    colour = b"COLR" + struct.pack(">H", 14) + struct.pack(">3fH", 0.8, 0.2, 0.2, 0)
    surf = iff_chunk(b"SURF", b"Default\0" + b"\0\0" + colour)
    body = b"LWO2" + tags + layer + pnts + pols + ptag + surf
    return b"FORM" + struct.pack(">I", len(body)) + body


def hand_made_seeds(folder):
    seeds = {
        "square.ply": PLY,
        "triangle.dae": DAE,
        "triangle.x": DIRECTX,
        "triangle-ascii.stl": ASCII_STL,
        "cube.stl": binary_stl(),
        "triangle.lwo": lightwave_object(),
        "triangle.lw": lightwave_object(),
    }
    for name, data in seeds.items():
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)


def mutate(data, rng):
    """One of four mutations, in the proportions a crash is most likely to come from."""
    kind = rng.random()
    if kind < 0.4:
        out = bytearray(data)
        for _ in range(rng.randint(1, max(1, len(out) // 50))):
            out[rng.randrange(len(out))] ^= 1 << rng.randrange(8)
        return "flip", bytes(out)
    if kind < 0.65:
        return "truncate", data[: rng.randrange(1, max(2, len(data)))]
    if kind < 0.8:
        start = rng.randrange(len(data))
        piece = data[start : start + rng.randint(1, 64)]
        at = rng.randrange(len(data))
        return "splice", data[:at] + piece * rng.randint(1, 8) + data[at:]
    return "random", bytes(rng.getrandbits(8) for _ in range(rng.randint(1, 4096)))


def run_host(host, mode, folder, timeout, env=None):
    return subprocess.run(
        [host, mode, folder], capture_output=True, text=True, errors="replace", timeout=timeout,
        env=env
    )


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--count", type=int, default=30, help="mutated files per format")
    parser.add_argument("--host", default=DEFAULT_HOST, help="path of SceneReaderFuzzHost")
    parser.add_argument("--seed", type=int, default=None, help="random seed (default: random)")
    parser.add_argument("--keep", default=None, help="keep the files in this folder")
    args = parser.parse_args()

    seed = args.seed if args.seed is not None else random.randrange(1 << 30)
    rng = random.Random(seed)
    work = args.keep or tempfile.mkdtemp(prefix="zelvista-fuzz-")
    seeds = os.path.join(work, "seeds")
    cases = os.path.join(work, "cases")
    for folder in (seeds, cases):
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)

    # osgDB's OpenFlight and Inventor writers leak; the seeds are only scaffolding.
    env = dict(os.environ)
    env["ASAN_OPTIONS"] = env.get("ASAN_OPTIONS", "") + ":detect_leaks=0"
    made = run_host(args.host, "seeds", seeds, 300, env)
    if made.returncode != 0:
        print(made.stdout + made.stderr)
        print("FAIL: the host could not write the seed files")
        return 1
    hand_made_seeds(seeds)

    by_format = collections.defaultdict(list)
    for name in sorted(os.listdir(seeds)):
        extension = name.rsplit(".", 1)[1]
        if extension in SIDE_FILES:
            continue
        with open(os.path.join(seeds, name), "rb") as seed_file:
            by_format[extension].append(seed_file.read())
        shutil.copy(os.path.join(seeds, name), os.path.join(cases, "seed-" + name))
    for extension, originals in sorted(by_format.items()):
        for index in range(args.count):
            kind, data = mutate(rng.choice(originals), rng)
            name = "%s-%03d-%s.%s" % (extension, index, kind, extension)
            with open(os.path.join(cases, name), "wb") as out:
                out.write(data)

    files = len(os.listdir(cases))
    try:
        # Each file may take the helper's whole time limit (10 s for these small files).
        result = run_host(args.host, "load", cases, 120 + 12 * files)
    except subprocess.TimeoutExpired:
        print("FAIL: the host hung (seed %d, files in %s)" % (seed, work))
        return 1

    stats = collections.defaultdict(collections.Counter)
    seed_failures = []
    line_pattern = re.compile(r"^(LOADED|REJECTED|UNREPORTED) (\S+)(?: :: (.*))?$")
    for line in result.stdout.splitlines():
        match = line_pattern.match(line)
        if not match:
            continue
        verdict, path, error = match.group(1), match.group(2), match.group(3) or ""
        name = os.path.basename(path)
        extension = name.rsplit(".", 1)[1]
        counter = stats[extension]
        counter["files"] += 1
        counter[verdict.lower()] += 1
        crash = re.search(r"crashed \((SIG\w+)\)", error)
        if crash:
            counter[crash.group(1)] += 1
        if "time-out" in error:
            counter["time-outs"] += 1
        if name.startswith("seed-") and verdict != "LOADED":
            seed_failures.append(line)

    signals = sorted({key for c in stats.values() for key in c if key.startswith("SIG")})
    header = "%-6s %6s %7s %9s %10s %10s" % ("format", "files", "loaded", "rejected", "unreported",
                                               "time-outs")
    print("seed %d, files in %s" % (seed, work))
    print(header + "".join(" %8s" % s for s in signals))
    total = collections.Counter()
    for extension in sorted(stats):
        c = stats[extension]
        total.update(c)
        print("%-6s %6d %7d %9d %10d %10d" % (extension, c["files"], c["loaded"], c["rejected"],
                                                c["unreported"], c["time-outs"])
              + "".join(" %8d" % c[s] for s in signals))
    print("%-6s %6d %7d %9d %10d %10d" % ("all", total["files"], total["loaded"], total["rejected"],
                                            total["unreported"], total["time-outs"])
          + "".join(" %8d" % total[s] for s in signals))

    failed = False
    # 3: a file was rejected without an ERROR record, counted below; anything else is a crash.
    if result.returncode not in (0, 3):
        print("FAIL: the host ended with %d\n%s" % (result.returncode, result.stderr[-4000:]))
        failed = True
    if total["files"] != files:
        print("FAIL: the host reported %d of %d files" % (total["files"], files))
        failed = True
    if total["unreported"]:
        print("FAIL: rejected files without an ERROR record naming them")
        failed = True
    for line in seed_failures:
        print("FAIL: an unmutated seed did not load: " + line)
        failed = True
    if not args.keep and not failed:
        shutil.rmtree(work, ignore_errors=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
