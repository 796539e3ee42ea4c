"""What the screen shows, measured with ImageMagick: parts cut out, pictures compared, digits read."""
import subprocess


def _magick(*argv):
    return subprocess.run([*map(str, argv)], capture_output=True, text=True, check=False)


def crop(source, width, height, x, y, target, *then):
    """A rectangle of a picture, and what then says to do with it."""
    subprocess.run(["convert", str(source), "-crop", f"{width}x{height}+{x}+{y}", "+repage", *map(str, then),
                    str(target)], check=True)


def flatten(source, background, target):
    subprocess.run(["convert", str(source), "-background", background, "-flatten", str(target)], check=True)


def _measure(answer):
    # compare's status says whether the pictures differ at all: the measure,
    # on its error output, is what counts
    return answer.stderr.strip()


def rms_difference(one, other):
    """How far two pictures of one size differ, 0 to 1."""
    measure = _measure(_magick("compare", "-metric", "RMSE", one, other, "null:"))
    # "absolute (normalised)"; pictures that cannot be compared are as far apart as can be
    try:
        return float(measure[measure.rfind("(") + 1:measure.rfind(")")])
    except ValueError:
        return float("inf")


def position(small, large):
    """Where a picture lies in a larger one: x, y of its best match."""
    measure = _measure(_magick("compare", "-metric", "RMSE", "-subimage-search", large, small, "null:"))
    x, y = measure.rpartition("@ ")[2].split(",")
    return int(x), int(y)


def off_its_rows(source, width, height, x, y, scratch):
    """How many pixels of a rectangle stand out from the rectangle averaged
    along its rows: none on a plain gradient, many on a picture, whose colour
    changes along a row."""
    part, rows = scratch / "part.png", scratch / "rows.png"
    crop(source, width, height, x, y, part)
    subprocess.run(["convert", str(part), "-scale", f"1x{height}!", "-scale", f"{width}x{height}!", str(rows)],
                   check=True)
    measure = _measure(_magick("compare", "-metric", "AE", "-fuzz", "10%", part, rows, "null:"))
    return int(float(measure.split()[0]))


def digits(source, width, height, x, y, scratch):
    """The digits a rectangle shows, read by optical character recognition."""
    part = scratch / "digits.png"
    crop(source, width, height, x, y, part, "-colorspace", "gray", "-resize", "400%")
    read = subprocess.run(["tesseract", str(part), "-", "--psm", "7", "-c", "tessedit_char_whitelist=0123456789"],
                          capture_output=True, text=True, check=False).stdout
    return "".join(read.split())
