#!/usr/bin/python3
# Quantizing to 256 colours with Floyd-Steinberg dithering: Quorvel (bench_quantize),
# pngquant and ImageMagick, each run as a program on the same pictures. For each tool and
# picture: the wall time of the run (best of a few), the mean OKLab difference from the
# original (measured by bench_quantize compare, one measure for every tool) and SSIM from
# scikit-image. Prints a Markdown table and writes the figures as JSON for bench/summary.
# Usage: bench/quantize_compare.py <bench_quantize> <results directory>
# Runs with Debian's python3 (/usr/bin/python3), where python3-skimage is.
import json
import math
import os
import subprocess
import sys
import time

import numpy as np
from skimage import io
from skimage.metrics import structural_similarity

DATA = "/usr/lib/python3/dist-packages/skimage/data"
# Debian's python3-skimage ships these; bench/README.md gives each one's licence.
PICTURES = ["astronaut.png", "chelsea.png", "coffee.png", "logo.png"]
RUNS = 3


def tools(bench, source, out):
    return {
        "quorvel": [bench, "quantize", source, out + ".bmp"],
        "pngquant": ["pngquant", "--force", "--output", out + ".png", "256", source],
        # -dither is a setting: it must come before the -colors that uses it.
        "imagemagick": ["/usr/bin/convert", source, "-dither", "FloydSteinberg", "-colors", "256", out + ".png"],
    }


def result_path(tool, out):
    return out + (".bmp" if tool == "quorvel" else ".png")


def rgb(path):
    image = io.imread(path)
    if image.ndim == 2:
        image = np.stack([image] * 3, axis=2)
    return image[:, :, :3]


def main():
    bench, results = sys.argv[1], sys.argv[2]
    os.makedirs(results, exist_ok=True)
    figures = {}
    for picture in PICTURES:
        source = os.path.join(DATA, picture)
        original = rgb(source)
        for tool, command in tools(bench, source, os.path.join(results, "q-" + picture)).items():
            best = math.inf
            for _ in range(RUNS):
                start = time.perf_counter()
                subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
                best = min(best, time.perf_counter() - start)
            made = result_path(tool, os.path.join(results, "q-" + picture))
            error = float(subprocess.run([bench, "compare", source, made], check=True, capture_output=True,
                                         text=True).stdout)
            ssim = structural_similarity(original, rgb(made), channel_axis=2, data_range=255)
            figures.setdefault(tool, {})[picture] = {"seconds": best, "oklab": error, "ssim": float(ssim)}

    print("| picture | tool | time (s) | mean OKLab difference | SSIM |")
    print("| --- | --- | ---: | ---: | ---: |")
    for picture in PICTURES:
        for tool in figures:
            f = figures[tool][picture]
            print("| %s | %s | %.3f | %.5f | %.4f |" % (picture, tool, f["seconds"], f["oklab"], f["ssim"]))
    # Time: the whole set against pngquant's. Error: the geometric mean of the pictures'
    # ratios, so that no one picture's scale outweighs the others.
    ours, peer = figures["quorvel"], figures["pngquant"]
    summary = {
        "time_vs_pngquant": sum(ours[p]["seconds"] for p in PICTURES) / sum(peer[p]["seconds"] for p in PICTURES),
        "error_vs_pngquant": math.exp(sum(math.log(ours[p]["oklab"] / peer[p]["oklab"]) for p in PICTURES)
                                      / len(PICTURES)),
        "figures": figures,
    }
    print("\nquorvel against pngquant: time %.2f, mean OKLab difference %.2f (geometric mean of the pictures)"
          % (summary["time_vs_pngquant"], summary["error_vs_pngquant"]))
    with open(os.path.join(results, "quantize.json"), "w") as f:
        json.dump(summary, f, indent=1)


main()
