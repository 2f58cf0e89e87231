#!/usr/bin/env python3
"""Writes the seed corpus under corpus/, one folder per fuzz target.

Each seed is a small input in its target's layout (described at the top of
its fuzz_*.cpp) that reaches one case worth starting from. Run it again after
changing a seed here; the fuzzers never write to corpus/.
"""
import os
import shutil
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))  # tests/, for expected.py
import expected  # noqa: E402

HOST = expected.SHIPPED_HOST.encode()
APP_BASE = b"http://" + HOST + expected.APP_BASE_PATH.encode()
CONTENT_BASE = b"http://" + HOST + expected.CONTENT_BASE_PATH.encode()
CONTENT_LIST = expected.CONTENT_LIST.encode()


def temp_folder(length):
    """A temp folder as the platform returns it: C:\\...\\ of that length."""
    return b"C:\\" + b"t" * (length - 4) + b"\\"


def path_op(operation, destination, source, length=None, fill=0x5A):
    """fuzz_path_compose input: operation, destination length, fill byte,
    destination bytes, source."""
    if length is None:
        length = len(destination)
    return bytes([operation]) + struct.pack(">H", length) + bytes([fill]) + destination + source


SEEDS = {
    "split_url": {
        "app_setup": b"http://" + HOST + expected.SETUP_PATH.encode(),
        "content_file": b"http://" + HOST + expected.CONTENT[0][0].encode(),
        "user_port_host": b"http://user@host:8080/a/b",
        "no_path": b"http://" + HOST,
        "no_scheme": b"host/path",
        "single_slash": b"http:/host/path",
        "second_scheme": b"http://a/b://c/d",
        "empty_host": b"http:///p",
        "scheme_only": b"http://",
    },
    "content_length": {
        "plain": b"3072",
        "white_space": b" \t\n\v\f\r42",
        "plus": b"+7",
        "minus": b"-15",
        "trailing_text": b"12abc",
        "int32_max": b"2147483647",
        "int32_max_plus_1": b"2147483648",
        "int32_min": b"-2147483648",
        "int32_min_minus_1": b"-2147483649",
        "int64_max_plus_1": b"9223372036854775808",
        "int64_min_minus_1": b"-9223372036854775809",
        "huge": b"99999999999999999999999999",
        "sign_only": b"-",
        "two_signs": b"+-5",
        "unterminated_digits": b"99999999",
        "absent_header": b"\0" * 16,
    },
    "path_compose": {
        "copy_temp": path_op(0, b"stale", b"C:\\Temp\\"),
        "copy_259": path_op(0, b"", b"a" * 259),
        "copy_260": path_op(0, b"", b"a" * 260),
        "append_korvane": path_op(1, b"C:\\Temp\\", b"korvane\\"),
        "append_to_edge": path_op(1, b"a" * 200, b"b" * 59),
        "append_one_over": path_op(1, b"a" * 200, b"b" * 60),
        "append_unterminated": path_op(1, b"x" * 260, b"korvane\\", fill=0x78),
        "append_full": path_op(1, b"a" * 259, b""),
        "append_own_text": path_op(3, b"C:\\Temp\\", b"\x08"),
        "copy_own_tail": path_op(2, b"C:\\Temp\\korvane\\", b"\x08"),
    },
    "run_paths": {
        "short_temp": APP_BASE + b"\0C:\\Temp\\",
        "temp_213": APP_BASE + b"\0" + temp_folder(213),
        "temp_234": APP_BASE + b"\0" + temp_folder(234),
        "temp_235": APP_BASE + b"\0" + temp_folder(235),
        "temp_unterminated": APP_BASE + b"\0" + b"x" * 260,
        "spaces_in_temp": APP_BASE + b"\0C:\\Documents and Settings\\u\\Local Settings\\Temp\\",
        "base_too_long": b"http://" + b"h" * 260 + b"/\0C:\\Temp\\",
    },
    "checked_value": {
        "empty": b"",
        "one_two_four": b"\x01\x02\x04",
        "already_zero": b"\x01\x02\x04\x07",
        "all_ones": b"\xff" * 8,
        "over_64_bytes": bytes(range(100)),  # past 512 bits: flips are sampled
    },
    "content_list": {
        "built_in": b"\0" + CONTENT_LIST + b"\0" + CONTENT_BASE,
        "fourth_fails": b"\x04" + CONTENT_LIST + b"\0" + CONTENT_BASE,
        "runs_of_spaces": b"\0  a/b   c/d  \0" + CONTENT_BASE,
        "only_spaces": b"\0    \0" + CONTENT_BASE,
        "tab_not_separator": b"\0a\tb c\\d\0http://h/",
        "no_slash_anywhere": b"\x01one two\0base",
        "same_file_name": b"\0x/a.krv y/a.krv\0" + CONTENT_BASE,
    },
}


def main():
    for target, seeds in SEEDS.items():
        folder = os.path.join(HERE, "corpus", target)
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        for name, data in seeds.items():
            with open(os.path.join(folder, name), "wb") as seed:
                seed.write(data)


if __name__ == "__main__":
    main()
