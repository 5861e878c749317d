"""The package's version: the one place it is written."""
__version__ = "1.0.0"
