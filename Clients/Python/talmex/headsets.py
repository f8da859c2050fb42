"""The agent looks for its headset plug-in below its working directory first,
then beside itself, where the simulated headset is installed. Other headsets
live in folders of their own, <agent's folder>/headsets/NAME, and the agent
started in one of them serves that headset."""

import os
import re
from typing import Tuple

SIMULATED_HEADSET = "simulated"

_NAME = re.compile(r"[A-Za-z0-9_-][A-Za-z0-9._-]*")


def agent_folder(agent_path: str) -> str:
    """The folder of the agent's executable with links resolved, as the
    agent itself sees it."""
    return os.path.dirname(os.path.realpath(agent_path))


def _is_headset_name(name: str) -> bool:
    return _NAME.fullmatch(name) is not None


def _headsets(headsets: str) -> str:
    """The headsets there are, in words, the simulated one first."""
    try:
        entries = os.listdir(headsets)
    except OSError:
        entries = []
    names = sorted(name for name in entries
                   if _is_headset_name(name) and os.path.isdir(os.path.join(headsets, name)))
    return f"the headsets are: {', '.join([SIMULATED_HEADSET, *names])} (in {headsets})"


def headset_folder(agent_path: str, headset: str) -> Tuple[str, str]:
    """The folder to start the agent in for the headset, and "": the agent's
    own folder for SIMULATED_HEADSET, else its headsets/NAME folder. For a
    name that is not one plain folder name (letters, digits, '.', '_', '-',
    not starting with '.') or names no folder: "", and the reason with the
    headsets there are."""
    folder = agent_folder(agent_path)
    if headset == SIMULATED_HEADSET:
        return folder, ""
    headsets = os.path.join(folder, "headsets")
    if not _is_headset_name(headset):
        return "", (f"'{headset}' is not a headset name (letters, digits, '.', '_' and '-', not starting"
                    f" with '.'); {_headsets(headsets)}")
    if not os.path.isdir(os.path.join(headsets, headset)):
        return "", f"no headset '{headset}'; {_headsets(headsets)}"
    return os.path.join(headsets, headset), ""
