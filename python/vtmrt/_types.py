"""Plain result records of the vtmrt package. Tested with the operations that make them."""

from typing import NamedTuple


class Group(NamedTuple):
    """One phrase found by Grouper.group: its label (such as "np"), the index of its
    first token and the number of tokens it spans (-1: never closed)."""

    label: str
    first: int
    count: int
