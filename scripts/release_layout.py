"""What the download server holds: setup.exe under /archives/app/ and the
content list's entries under /zq/res/, read from a built installer
(check-server.sh) or from the sources it is built from (publish.sh).

    python3 release_layout.py files    prints "release path<TAB>URL path", one file a line
"""

import os
import re
import sys
from dataclasses import dataclass
from typing import List, Tuple

APP_PATH = "/archives/app/"
CONTENT_PATH = "/zq/res/"
SETUP_NAME = "setup.exe"
PROJECT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
# An entry of the content list: printable names without spaces or colons (no
# scheme), joined by slashes.
NAME = rb"[\x21-\x2e\x30-\x39\x3b-\x7e]+"
ENTRY = NAME + rb"(?:/" + NAME + rb")+"


@dataclass
class Layout:
    entries: List[str]
    host: str = ""

    def files(self) -> List[Tuple[str, str]]:
        """(path in a release folder, URL path) of every file, in the installer's order."""
        return [(SETUP_NAME, APP_PATH + SETUP_NAME)] + [(entry, CONTENT_PATH + entry) for entry in self.entries]


def from_installer(path: str) -> Layout:
    """The host and the content list built into KorvaneInstaller.exe; ValueError when it holds no
    single application and content base URL of one host, or no single content list."""
    with open(path, "rb") as f:
        data = f.read()
    urls = set(re.findall(rb"\0http://([A-Za-z0-9.-]+)(" + re.escape(APP_PATH.encode()) + rb"|" +
                          re.escape(CONTENT_PATH.encode()) + rb")\0", data))
    hosts = {host for host, _ in urls}
    if len(hosts) != 1 or len(urls) != 2:
        raise ValueError(f"{path}: expected one application and one content base URL of one host, "
                         f"found {sorted(b'http://' + h + p for h, p in urls)}")
    lists = set(re.findall(rb"\0(" + ENTRY + rb"(?: +" + ENTRY + rb")*)\0", data))
    if len(lists) != 1:
        raise ValueError(f"{path}: expected one content list, found {len(lists)}")
    return Layout(entries=lists.pop().decode("ascii").split(), host=hosts.pop().decode("ascii"))


def from_sources(project: str = PROJECT) -> Layout:
    """The content list as installer/flow/content_list.cpp builds it in."""
    with open(os.path.join(project, "installer", "flow", "content_list.cpp"), encoding="utf-8") as f:
        source = f.read()
    definition = re.search(r"kContentList\[\]\s*=\s*((?:\s*\"[^\"]*\")+)\s*;", source)
    if not definition:
        raise ValueError("installer/flow/content_list.cpp holds no kContentList definition")
    return Layout(entries="".join(re.findall(r"\"([^\"]*)\"", definition.group(1))).split())


if __name__ == "__main__":
    if sys.argv[1:] != ["files"]:
        sys.exit(__doc__.strip())
    for release_path, url_path in from_sources().files():
        print(f"{release_path}\t{url_path}")
