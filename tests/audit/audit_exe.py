#!/usr/bin/python3
"""Audits KorvaneInstaller.exe as a file: headers, imports and the names it
looks up at run time, every instruction of its code, resources, the built-in
error text and the size.

Usage: audit_exe.py KorvaneInstaller.exe

Prints one line per check group, with every deviation found under it, and
exits 1 when anything deviates. Needs Debian's python3-pefile and the
MinGW-w64 objdump (binutils-mingw-w64-i686).
"""

import os
import re
import struct
import subprocess
import sys
import xml.etree.ElementTree as ElementTree
from dataclasses import dataclass

import pefile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, ".."))

from expected import (BAR_STYLE, DIALOG_EXSTYLE, DIALOG_STYLE, DIALOG_TEXT, DS_SETFONT, ERROR_TEXT,  # noqa: E402
                      ICON_STYLE, IDC_APP_ICON, IDC_PROGRESS, IDD_PROGRESS, IDI_APP, IDS_TITLE, LANG_ENGLISH_US,
                      LANG_JAPANESE, TEXT_STYLE, TITLE)

ALLOWED_IMPORTS = os.path.join(HERE, "allowed_imports.txt")
# What a row must show before the program may import its function: that
# Windows 2000 has it (see the header of allowed_imports.txt).
IMPORT_EVIDENCE = ("page", "header:", "crt")

SIZE_LIMIT = 256 * 1024

RT_ICON, RT_STRING, RT_DIALOG, RT_GROUP_ICON, RT_MANIFEST = 3, 6, 5, 14, 24
STATIC_CLASS_ATOM = 0x0082
DYNAMIC_BASE, NX_COMPAT = 0x0040, 0x0100

DIALOG = {
    "style": DIALOG_STYLE,
    "exstyle": DIALOG_EXSTYLE,
    "rect": (22, 17, 207, 33),
    "menu": "",
    "class": "",
    "title": "",
    "font": (9, 0, 0, 0, "System"),  # points, weight, italic, charset, face
}

# In template order. Control id -1 is stored as a 32-bit -1.
CONTROLS = [
    {"id": IDC_APP_ICON, "class": STATIC_CLASS_ATOM, "style": ICON_STYLE, "rect": (5, 2, 20, 20), "title": IDI_APP},
    {"id": 0xFFFFFFFF, "class": STATIC_CLASS_ATOM, "style": TEXT_STYLE, "rect": (26, 5, 142, 8),
     "title": DIALOG_TEXT},
    {"id": IDC_PROGRESS, "class": "msctls_progress32", "style": BAR_STYLE, "rect": (4, 18, 198, 10), "title": ""},
]

ICON_SIZES = {32, 16}
ICON_BITS = 8

ASM_V1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"

ERROR_BYTES = ERROR_TEXT.encode("cp932")

OBJDUMP = "i686-w64-mingw32-objdump"
IMAGE_SCN_MEM_EXECUTE = 0x20000000
# Every instruction a Pentium without MMX (i586) executes, as objdump names
# them in Intel syntax: the 8086 to 80486 integer set, the Pentium's cpuid,
# rdtsc, cmpxchg8b, rdmsr, wrmsr and rsm, and the x87 set up to the 80387.
# Anything else needs a later processor: cmov, fcmov, fcomi and fucomi, MMX
# and SSE, endbr32, sysenter and sysexit, fxsave and fxrstor, and more.
I586_INSTRUCTIONS = set("""
    aaa aad aam aas adc add and arpl bound bsf bsr bswap bt btc btr bts call cbw cdq clc cld cli clts cmc
    cmp cmps cmpsb cmpsw cmpsd cmpxchg cmpxchg8b cpuid cwd cwde daa das dec div enter hlt idiv imul in inc
    ins insb insw insd int int3 into invd invlpg iret iretd ja jae jb jbe jcxz je jecxz jg jge jl jle jmp
    jne jno jnp jns jo jp js lahf lar lds lea leave les lfs lgdt lgs lidt lldt lmsw lods lodsb lodsw lodsd
    loop loope loopne lsl lss ltr mov movs movsb movsw movsd movsx movzx mul neg nop not or out outs outsb
    outsw outsd pop popa popad popf popfd push pusha pushad pushf pushfd rcl rcr rdmsr rdtsc ret retf rol
    ror rsm sahf sal sar sbb scas scasb scasw scasd seta setae setb setbe sete setg setge setl setle setne
    setno setnp setns seto setp sets sgdt shl shld shr shrd sidt sldt smsw stc std sti stos stosb stosw
    stosd str sub test verr verw wbinvd wrmsr xadd xchg xlat xlatb xor
    f2xm1 fabs fadd faddp fbld fbstp fchs fclex fnclex fcom fcomp fcompp fcos fdecstp fdiv fdivp fdivr
    fdivrp ffree fiadd ficom ficomp fidiv fidivr fild fimul fincstp finit fninit fist fistp fisub fisubr
    fld fld1 fldcw fldenv fldl2e fldl2t fldlg2 fldln2 fldpi fldz fmul fmulp fnop fnsave fnstcw fnstenv
    fnstsw fpatan fprem fprem1 fptan frndint frstor fsave fscale fsin fsincos fsqrt fst fstcw fstenv fstp
    fstsw fsub fsubp fsubr fsubrp ftst fucom fucomp fucompp fwait fxam fxch fxtract fyl2x fyl2xp1
""".split())
INSTRUCTION_PREFIXES = {"lock", "rep", "repz", "repnz", "repe", "repne", "data16", "addr16",
                        "cs", "ds", "es", "fs", "gs", "ss"}


# ---------------------------------------------------------------- helpers

class TemplateReader:
    """Reads a little-endian resource template; every read is bounds-checked."""

    def __init__(self, data):
        self.data = data
        self.offset = 0

    def unpack(self, fmt):
        size = struct.calcsize(fmt)
        if self.offset + size > len(self.data):
            raise ValueError(f"template ends at byte {len(self.data)}, needed {self.offset + size}")
        values = struct.unpack_from(fmt, self.data, self.offset)
        self.offset += size
        return values if len(values) > 1 else values[0]

    def text(self):
        """A zero-terminated UTF-16 text."""
        end = self.offset
        while True:
            if end + 2 > len(self.data):
                raise ValueError("unterminated text in template")
            if self.data[end:end + 2] == b"\0\0":
                break
            end += 2
        value = self.data[self.offset:end].decode("utf-16-le")
        self.offset = end + 2
        return value

    def text_or_ordinal(self):
        """sz_Or_Ord: 0 (empty), 0xFFFF and a 16-bit ordinal, or a text."""
        first = struct.unpack_from("<H", self.data, self.offset)[0] if self.offset + 2 <= len(self.data) else None
        if first == 0xFFFF:
            self.offset += 2
            return self.unpack("<H")
        return self.text()

    def align(self, boundary):
        self.offset = (self.offset + boundary - 1) // boundary * boundary


def describe(value):
    if isinstance(value, int):
        return f"0x{value:X}"
    return repr(value)


def resource_table(pe):
    """{(type, id, language): bytes}; named entries are reported as problems."""
    table, problems = {}, []
    root = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    if root is None:
        return table, ["no resource directory"]
    for type_entry in root.entries:
        for id_entry in type_entry.directory.entries:
            for lang_entry in id_entry.directory.entries:
                type_key = type_entry.id if type_entry.name is None else str(type_entry.name)
                id_key = id_entry.id if id_entry.name is None else str(id_entry.name)
                if type_entry.name is not None or id_entry.name is not None:
                    problems.append(f"named resource {type_key}/{id_key}: only numbered resources are expected")
                entry = lang_entry.data.struct
                table[(type_key, id_key, lang_entry.id)] = pe.get_data(entry.OffsetToData, entry.Size)
    return table, problems


# ---------------------------------------------------------------- checks

def check_headers(pe):
    problems = []
    if pe.FILE_HEADER.Machine != pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"]:
        problems.append(f"machine {pe.FILE_HEADER.Machine:#x}, expected i386 (0x14c)")
    optional = pe.OPTIONAL_HEADER
    if optional.Subsystem != pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_GUI"]:
        problems.append(f"subsystem {optional.Subsystem}, expected the Windows GUI (2)")
    subsystem = (optional.MajorSubsystemVersion, optional.MinorSubsystemVersion)
    if subsystem != (5, 0):
        problems.append(f"subsystem version {subsystem[0]}.{subsystem[1]}, expected 5.0")
    os_version = (optional.MajorOperatingSystemVersion, optional.MinorOperatingSystemVersion)
    if os_version != (5, 0):
        problems.append(f"OS version {os_version[0]}.{os_version[1]}, expected 5.0")
    for flag, name in ((DYNAMIC_BASE, "DYNAMIC_BASE (ASLR)"), (NX_COMPAT, "NX_COMPAT (DEP)")):
        if not optional.DllCharacteristics & flag:
            problems.append(f"{name} is not set in the DLL characteristics ({optional.DllCharacteristics:#x})")
    if optional.CheckSum != pe.generate_checksum():
        problems.append(f"PE checksum {optional.CheckSum:#x}, the file's is {pe.generate_checksum():#x}")
    return problems


def imported_functions(pe):
    """[(dll in lower case, function name or None for an ordinal import, ordinal)]."""
    result = []
    for attribute in ("DIRECTORY_ENTRY_IMPORT", "DIRECTORY_ENTRY_DELAY_IMPORT"):
        for library in getattr(pe, attribute, []):
            dll = library.dll.decode("ascii", "replace").lower()
            if not library.imports:
                result.append((dll, "", None))
            for function in library.imports:
                name = function.name.decode("ascii", "replace") if function.name else None
                result.append((dll, name, function.ordinal))
    return result


def held_names(pe):
    """(DLL names, function names) among the program's own terminated texts: what it loads and
    looks up at run time. Function names are the identifiers that are not all capitals."""
    dlls, functions = set(), []
    for section in pe.sections:
        if section.Name.rstrip(b"\0") in (b".idata", b".rsrc"):  # import names, resources
            continue
        # Whole terminated texts without spaces: not the tail of a longer one.
        for text in re.findall(rb"(?<![\x20-\x7e])[\x21-\x7e]{4,}(?=\0)", section.get_data()):
            text = text.decode("ascii")
            if text.lower().endswith(".dll"):
                dlls.add(text.lower())
            elif re.fullmatch(r"[A-Za-z_][A-Za-z0-9_]+", text) and not text.isupper():
                functions.append(text)
    return dlls, functions


@dataclass
class Allowed:
    minimum: str
    source: str
    use: str       # "import" or "resolved"
    evidence: str  # what shows that Windows 2000 has it


def load_allowed(path):
    """{(dll, function): Allowed}; a malformed line raises."""
    table = {}
    with open(path, encoding="utf-8") as list_file:
        for number, line in enumerate(list_file, 1):
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            fields = [field.strip() for field in line.split(" | ")]
            if len(fields) != 6 or not all(fields) or not fields[1].endswith(".dll") \
                    or fields[4] not in ("import", "resolved"):
                raise ValueError(f"{path}:{number}: expected 'function | dll | minimum client | source | "
                                 "import|resolved | windows 2000'")
            function, dll = fields[0], fields[1].lower()
            if (dll, function) in table:
                raise ValueError(f"{path}:{number}: {dll}!{function} is listed twice")
            table[(dll, function)] = Allowed(*fields[2:])
    return table


def check_imports(imports, allowed):
    """Every import stands on the list as an import that Windows 2000 has."""
    problems = []
    for dll, name, ordinal in imports:
        if name is None:
            problems.append(f"{dll}: import by ordinal {ordinal}, which cannot be checked by name")
            continue
        row = allowed.get((dll, name))
        if row is None:
            problems.append(f"{dll}!{name} is imported but not on {os.path.basename(ALLOWED_IMPORTS)}")
        elif row.use != "import":
            problems.append(f"{dll}!{name} is imported; the list allows it only looked up at run time")
        elif not row.evidence.startswith(IMPORT_EVIDENCE):
            problems.append(f"{dll}!{name}: documented for {row.minimum}, and nothing shows Windows 2000 has "
                            f"it ({row.evidence}); an import of it stops the program from starting there")
        elif dll == "msvcrt.dll" and re.search(r"_s(_l)?$", name):
            # Listed or not: the bounds-checked functions came with the runtime of
            # Visual C++ 2005, and no msvcrt.dll of Windows 2000 has them.
            problems.append(f"{dll}!{name}: a bounds-checked CRT function, absent from Windows 2000's msvcrt.dll")
    return problems


def check_run_time_names(dlls, functions, allowed):
    """Every name the program looks up at run time stands on the list, in a DLL it names."""
    problems = []
    for name in functions:
        rows = [dll for (dll, function), row in allowed.items() if function == name and row.use == "resolved"]
        if not rows:
            problems.append(f"{name} looks like a function the program looks up at run time, and is not "
                            f"on {os.path.basename(ALLOWED_IMPORTS)} as resolved")
        elif not set(rows) & dlls:
            problems.append(f"{name} is listed from {', '.join(rows)}, which the program does not name")
    return problems


def linker_lists_start(data, section_start, section_end):
    """Where the linker's constructor and destructor lists begin at the end of
    the code (data, not instructions: each list is -1, pointers into the code,
    then 0), or None when the code does not end in two such lists."""
    end = len(data) - len(data) % 4
    for _ in range(2):
        if end < 8 or struct.unpack_from("<I", data, end - 4)[0] != 0:
            return None
        end -= 4
        while True:
            if end < 4:
                return None
            word = struct.unpack_from("<I", data, end - 4)[0]
            end -= 4
            if word == 0xFFFFFFFF:
                break
            if not section_start <= word < section_end:
                return None
    return end


def check_instructions(path, pe):
    """Every instruction in an executable section runs on a Pentium (i586)."""
    problems, checked = [], 0
    base = pe.OPTIONAL_HEADER.ImageBase
    for section in pe.sections:
        if not section.Characteristics & IMAGE_SCN_MEM_EXECUTE:
            continue
        start = base + section.VirtualAddress
        data = section.get_data()[:section.Misc_VirtualSize]
        lists = linker_lists_start(data, start, start + len(data))
        stop = start + (lists if lists is not None else len(data))
        listing = subprocess.run(
            [OBJDUMP, "-d", "-w", "-M", "intel", f"--start-address={start:#x}", f"--stop-address={stop:#x}", path],
            check=True, capture_output=True, text=True).stdout
        for address, raw, instruction in re.findall(r"^ *([0-9a-f]+):\t([0-9a-f ]+?) *\t(.*)$", listing, re.M):
            checked += 1
            words = instruction.split()
            while len(words) > 1 and words[0] in INSTRUCTION_PREFIXES:
                words.pop(0)
            mnemonic = words[0] if words else ""
            # A nop is the one-byte 90; the multi-byte form (0F 1F) came with the Pentium Pro.
            if mnemonic not in I586_INSTRUCTIONS or (mnemonic == "nop" and raw != "90"):
                problems.append(f"0x{address}: {instruction.strip()} ({raw}) needs a processor beyond the Pentium")
    if not checked:
        problems.append("no instructions found in an executable section")
    return problems[:20] + ([f"... and {len(problems) - 20} more"] if len(problems) > 20 else []), checked


def check_unused_rows(imports, dlls, functions, allowed):
    """Every row stands for something the program imports or looks up, so the list says what it uses."""
    used = {(dll, name) for dll, name, _ in imports}
    used |= {(dll, name) for (dll, name), row in allowed.items()
             if row.use == "resolved" and name in functions and dll in dlls}
    return [f"{dll}!{name} is on {os.path.basename(ALLOWED_IMPORTS)} but the program neither imports nor looks it up"
            for dll, name in sorted(set(allowed) - used)]


def check_resource_set(table):
    """Exactly the string block, the dialog, the icon group, its images and the manifest."""
    problems = []
    expected = {(RT_STRING, IDS_TITLE // 16 + 1, LANG_JAPANESE), (RT_DIALOG, IDD_PROGRESS, LANG_JAPANESE),
                (RT_GROUP_ICON, IDI_APP, LANG_JAPANESE), (RT_MANIFEST, 1, LANG_ENGLISH_US)}
    group = table.get((RT_GROUP_ICON, IDI_APP, LANG_JAPANESE))
    if group is not None:
        try:
            for entry in icon_group_entries(group):
                expected.add((RT_ICON, entry["id"], LANG_JAPANESE))
        except ValueError:
            pass  # reported by check_icon
    for key in sorted(set(table) - expected, key=str):
        problems.append(f"unexpected resource type {key[0]} id {key[1]} language {key[2]}")
    for key in sorted(expected - set(table), key=str):
        problems.append(f"missing resource type {key[0]} id {key[1]} language {key[2]}")
    return problems


def check_string_table(table):
    data = table.get((RT_STRING, IDS_TITLE // 16 + 1, LANG_JAPANESE))
    if data is None:
        return [f"no string block {IDS_TITLE // 16 + 1} in language {LANG_JAPANESE}"]
    problems, reader = [], TemplateReader(data)
    try:
        for slot in range(16):
            length = reader.unpack("<H")
            text = data[reader.offset:reader.offset + 2 * length].decode("utf-16-le")
            reader.offset += 2 * length
            string_id = (IDS_TITLE // 16) * 16 + slot
            if string_id == IDS_TITLE and text != TITLE:
                problems.append(f"string {string_id} is {text!r}, expected {TITLE!r}")
            elif string_id != IDS_TITLE and text:
                problems.append(f"unexpected string {string_id}: {text!r}")
    except (ValueError, UnicodeDecodeError) as error:
        problems.append(f"string block: {error}")
    return problems


def compare(problems, what, actual, expected):
    if actual != expected:
        problems.append(f"{what} is {describe(actual)}, expected {describe(expected)}")


def check_dialog(table):
    data = table.get((RT_DIALOG, IDD_PROGRESS, LANG_JAPANESE))
    if data is None:
        return [f"no dialog {IDD_PROGRESS} in language {LANG_JAPANESE}"]
    problems, reader = [], TemplateReader(data)
    try:
        version, signature = reader.unpack("<HH")
        if (version, signature) != (1, 0xFFFF):
            return [f"not an extended dialog template (version {version}, signature {signature:#x})"]
        help_id, exstyle, style, count = reader.unpack("<IIIH")
        rect = reader.unpack("<hhhh")
        compare(problems, "dialog help id", help_id, 0)
        compare(problems, "dialog style", style, DIALOG["style"])
        compare(problems, "dialog extended style", exstyle, DIALOG["exstyle"])
        compare(problems, "dialog position and size", rect, DIALOG["rect"])
        compare(problems, "dialog menu", reader.text_or_ordinal(), DIALOG["menu"])
        compare(problems, "dialog class", reader.text_or_ordinal(), DIALOG["class"])
        compare(problems, "dialog title", reader.text(), DIALOG["title"])
        if style & DS_SETFONT:
            points, weight, italic, charset = reader.unpack("<HHBB")
            font = (points, weight, italic, charset, reader.text())
            compare(problems, "dialog font (points, weight, italic, charset, face)", font, DIALOG["font"])
        compare(problems, "number of controls", count, len(CONTROLS))
        for index in range(count):
            reader.align(4)
            help_id, exstyle, style = reader.unpack("<III")
            rect = reader.unpack("<hhhh")
            control_id = reader.unpack("<I")
            window_class = reader.text_or_ordinal()
            title = reader.text_or_ordinal()
            extra = reader.unpack("<H")
            reader.offset += extra
            if index >= len(CONTROLS):
                continue
            want, name = CONTROLS[index], f"control {index + 1}"
            compare(problems, f"{name} id", control_id, want["id"])
            if isinstance(want["class"], str) and isinstance(window_class, str):
                # Windows looks window classes up without regard to case, and
                # windres stores class names upper-cased.
                compare(problems, f"{name} class", window_class.lower(), want["class"].lower())
            else:
                compare(problems, f"{name} class", window_class, want["class"])
            compare(problems, f"{name} style", style, want["style"])
            compare(problems, f"{name} extended style", exstyle, 0)
            compare(problems, f"{name} help id", help_id, 0)
            compare(problems, f"{name} position and size", rect, want["rect"])
            compare(problems, f"{name} title", title, want["title"])
            compare(problems, f"{name} creation data size", extra, 0)
        rest = data[reader.offset:]
        if len(rest) >= 4 or rest.strip(b"\0"):
            problems.append(f"{len(rest)} bytes after the last control")
    except (ValueError, UnicodeDecodeError) as error:
        problems.append(f"dialog template: {error}")
    return problems


def icon_group_entries(data):
    reader = TemplateReader(data)
    reserved, kind, count = reader.unpack("<HHH")
    if reserved != 0 or kind != 1:
        raise ValueError(f"icon group header reserved {reserved} type {kind}, expected 0 and 1")
    entries = []
    for _ in range(count):
        width, height, colours, reserved, planes, bits, size, icon_id = reader.unpack("<BBBBHHIH")
        entries.append({"width": width or 256, "height": height or 256, "colours": colours,
                        "reserved": reserved, "planes": planes, "bits": bits, "size": size, "id": icon_id})
    if reader.offset != len(data):
        raise ValueError(f"icon group is {len(data)} bytes, its {count} entries take {reader.offset}")
    return entries


def check_icon(table):
    group = table.get((RT_GROUP_ICON, IDI_APP, LANG_JAPANESE))
    if group is None:
        return [f"no icon group {IDI_APP} in language {LANG_JAPANESE}"]
    problems = []
    try:
        entries = icon_group_entries(group)
    except ValueError as error:
        return [str(error)]
    sizes = sorted((entry["width"], entry["height"]) for entry in entries)
    if sizes != sorted((size, size) for size in ICON_SIZES):
        problems.append(f"icon images {sizes}, expected exactly one each of {sorted(ICON_SIZES)} square")
    for entry in entries:
        name = f"icon {entry['width']}x{entry['height']} (image {entry['id']})"
        compare(problems, f"{name} bits per pixel", entry["bits"], ICON_BITS)
        compare(problems, f"{name} colour count (0 means 256)", entry["colours"], 0)
        compare(problems, f"{name} planes", entry["planes"], 1)
        compare(problems, f"{name} reserved byte", entry["reserved"], 0)
        image = table.get((RT_ICON, entry["id"], LANG_JAPANESE))
        if image is None:
            problems.append(f"{name}: no icon image {entry['id']} in language {LANG_JAPANESE}")
            continue
        compare(problems, f"{name} size in the group", entry["size"], len(image))
        if len(image) < 40:
            problems.append(f"{name}: {len(image)} bytes, too short for a bitmap header")
            continue
        header_size, width, height, planes, bits, compression, _, _, _, used, _ = \
            struct.unpack_from("<IiiHHIIiiII", image)
        compare(problems, f"{name} header size", header_size, 40)
        # The height of an icon bitmap counts the colour and the mask rows.
        compare(problems, f"{name} bitmap width and height", (width, height),
                (entry["width"], 2 * entry["height"]))
        compare(problems, f"{name} bitmap planes", planes, 1)
        compare(problems, f"{name} bitmap bits per pixel", bits, ICON_BITS)
        compare(problems, f"{name} bitmap compression", compression, 0)
        palette = (used or 1 << ICON_BITS) * 4
        colour_rows = (entry["width"] * ICON_BITS + 31) // 32 * 4 * entry["height"]
        mask_rows = (entry["width"] + 31) // 32 * 4 * entry["height"]
        compare(problems, f"{name} image length", len(image), header_size + palette + colour_rows + mask_rows)
    return problems


def check_manifest(table):
    data = table.get((RT_MANIFEST, 1, LANG_ENGLISH_US))
    if data is None:
        return [f"no manifest 1 in language {LANG_ENGLISH_US}"]
    problems = []
    try:
        root = ElementTree.fromstring(data)
    except ElementTree.ParseError as error:
        return [f"manifest is not well-formed XML: {error}"]

    def only_child(element, tag, path):
        children = list(element)
        if [child.tag for child in children] != [tag]:
            problems.append(f"{path} holds {[child.tag for child in children]}, expected only {tag}")
        return next((child for child in children if child.tag == tag), None)

    def no_text(element, path):
        if (element.text or "").strip() or (element.tail or "").strip():
            problems.append(f"{path} carries text")

    compare(problems, "manifest root", root.tag, ASM_V1 + "assembly")
    compare(problems, "assembly attributes", dict(root.attrib), {"manifestVersion": "1.0"})
    no_text(root, "assembly")
    path = "assembly"
    element = root
    for tag in ("trustInfo", "security", "requestedPrivileges", "requestedExecutionLevel"):
        element = only_child(element, ASM_V3 + tag, path)
        path += "/" + tag
        if element is None:
            return problems
        no_text(element, path)
        if tag != "requestedExecutionLevel":
            compare(problems, f"{path} attributes", dict(element.attrib), {})
    compare(problems, "requestedExecutionLevel attributes", dict(element.attrib),
            {"level": "highestAvailable", "uiAccess": "false"})
    if list(element):
        problems.append("requestedExecutionLevel has children")
    return problems


def check_error_text(pe):
    problems = []
    # The program's own data, not its resources.
    data = b"".join(section.get_data() for section in pe.sections
                    if not section.Name.rstrip(b"\0").startswith(b".rsrc"))
    if ERROR_BYTES + b"\0" not in data:
        problems.append(f"the {len(ERROR_BYTES)}-byte CP932 error text (terminated) is not in the program's data")
    if ERROR_BYTES.replace(b"\n", b"\r\n") in data:
        problems.append("the error text is stored with a CR LF line break")
    return problems


def check_size(size):
    return [f"{size} bytes is over the limit of {SIZE_LIMIT}"] if size > SIZE_LIMIT else []


def main(argv):
    if len(argv) != 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    path = argv[1]
    size = os.path.getsize(path)
    pe = pefile.PE(path)
    imports = imported_functions(pe)
    dlls, functions = held_names(pe)
    allowed = load_allowed(ALLOWED_IMPORTS)
    resources, naming_problems = resource_table(pe)
    instruction_problems, instructions = check_instructions(path, pe)
    groups = [
        ("headers: i386, GUI, subsystem and OS version 5.0, ASLR, DEP, checksum", check_headers(pe)),
        ("imports: listed, and in Windows 2000", check_imports(imports, allowed)),
        ("names looked up at run time: listed", check_run_time_names(dlls, functions, allowed)),
        ("import list: every row in use", check_unused_rows(imports, dlls, functions, allowed)),
        ("instructions: every one runs on a Pentium (i586)", instruction_problems),
        ("resource set", naming_problems + check_resource_set(resources)),
        ("string table", check_string_table(resources)),
        ("dialog 103", check_dialog(resources)),
        ("icon 107", check_icon(resources)),
        ("manifest", check_manifest(resources)),
        ("CP932 error text", check_error_text(pe)),
        (f"size under {SIZE_LIMIT // 1024} KiB", check_size(size)),
    ]
    failed = 0
    for title, problems in groups:
        print(f"{'FAIL' if problems else 'ok  '} {title}")
        for problem in problems:
            print(f"       {problem}")
        failed += bool(problems)
    print(f"size: {size} bytes ({size / 1024:.1f} KiB); instructions: {instructions}")
    print(f"imports: {len(imports)} functions from {', '.join(sorted({dll for dll, _, _ in imports}))}; "
          f"looked up at run time: {len(functions)} from {', '.join(sorted(dlls))}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
