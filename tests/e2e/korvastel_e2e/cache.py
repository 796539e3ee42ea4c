"""Where the tests and the build doors keep what is slow to make: bare roots, Wine's prefix, Windows' Qt."""
import os
import pathlib


def cache_dir():
    """$KORVASTEL_CACHE_DIR, else korvastel in the user's cache folder."""
    chosen = os.environ.get("KORVASTEL_CACHE_DIR")
    if chosen:
        return pathlib.Path(chosen)
    return pathlib.Path(os.environ.get("XDG_CACHE_HOME") or pathlib.Path.home() / ".cache") / "korvastel"


if __name__ == "__main__":
    print(cache_dir())
