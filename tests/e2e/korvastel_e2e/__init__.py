"""Korvastel used as a person uses it: displays, buses, Wine, bare Debian roots and the checks made there."""
