"""What the view checks before it trusts a request: the numbers it reads
from one, and whether the name it is addressed to is this machine's own."""

import ipaddress
import re
from typing import Optional, Union

# The port a Host without one means: the view speaks plain HTTP.
_DEFAULT_PORT = 80
# A Host header: a name or an IPv6 address in brackets, and an optional port.
_HOST = re.compile(r"(?P<name>\[[0-9A-Fa-f:.]+\]|[^:\[\]]+)(?::(?P<port>[0-9]+))?")
_OWN_ADDRESSES = ("127.0.0.1", "::1")


def plain_number(text: str, largest: int) -> Optional[int]:
    """The value of text when it is plain decimal digits from 0 to largest,
    else None. int() alone would take other scripts' digits, signs, spaces
    and underscores, and fail on superscripts and on thousands of digits."""
    if not (text.isascii() and text.isdigit()) or len(text.lstrip("0")) > len(str(largest)):
        return None
    value = int(text)
    return value if value <= largest else None


def _address(text: str) -> Optional[Union[ipaddress.IPv4Address, ipaddress.IPv6Address]]:
    """The address, an IPv4 one for its IPv6-mapped form; None when text is
    not an address."""
    try:
        address = ipaddress.ip_address(text)
    except ValueError:
        return None
    return getattr(address, "ipv4_mapped", None) or address


def is_loopback(address: str) -> bool:
    """Whether only this machine reaches the address: all of 127.0.0.0/8,
    ::1, and their IPv6-mapped forms."""
    parsed = _address(address)
    return parsed is not None and parsed.is_loopback


def trusts_host(bound: str, port: int, host: str) -> bool:
    """Whether a view serving on the bound address and port answers a
    request whose Host header is host. On loopback, only this machine's own
    names: a page of another site whose name the attacker points at this
    machine (DNS rebinding) is refused. A view bound elsewhere was exposed
    on purpose."""
    if not is_loopback(bound):
        return True
    match = _HOST.fullmatch(host)
    if match is None or plain_number(match["port"] or str(_DEFAULT_PORT), 65535) != port:
        return False
    name = match["name"]
    if name.lower() == "localhost":
        return True
    bracketed = name.startswith("[")
    address = _address(name.strip("[]"))
    # An IPv6 address is written in brackets, an IPv4 one without.
    if address is None or bracketed != (":" in name):
        return False
    return address in {_address(own) for own in (*_OWN_ADDRESSES, bound)}
