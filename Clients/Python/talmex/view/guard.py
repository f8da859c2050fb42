"""What the view checks before it trusts a request: for now, the numbers
it reads."""

from typing import Optional

def plain_number(text: str, largest: int) -> Optional[int]:
    """The value of text when it is plain decimal digits from 0 to largest,
    else None. int() alone would take other scripts' digits, signs, spaces
    and underscores, and fail on superscripts and on thousands of digits."""
    if not (text.isascii() and text.isdigit()) or len(text.lstrip("0")) > len(str(largest)):
        return None
    value = int(text)
    return value if value <= largest else None
