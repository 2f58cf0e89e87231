"""What the built installer must show, store and request, written once for
the audit of the file (tests/audit), the end-to-end tests and the demo
(tests/e2e), the benchmark (bench) and the fuzz seeds (tests/fuzz).
"""

# Texts, as the program holds them (code page 932) and shows them.
TITLE = "KORVANE"
DIALOG_TEXT = "KORVANE 本体をダウンロード中です。"
ERROR_TEXT = "ダウンロードできませんでした。\nネットワークが繋がっているかご確認ください。"

# The download server: URL paths, and the content list as built in.
SHIPPED_HOST = "downloads.korvane.example"
APP_BASE_PATH = "/archives/app/"
CONTENT_BASE_PATH = "/zq/res/"
SETUP_NAME = "setup.exe"
SETUP_PATH = APP_BASE_PATH + SETUP_NAME
CONTENT_LIST = ("Gallery_North/wave_short01.krv Gallery_North/wave_short02.krv "
                "galleryeastern/paperlanternwalks.krv marble/pebble.krv Zeko/teaser.krv")
# (URL path, file name in builtin-contents), in the order the installer fetches them.
CONTENT = [
    ("/zq/res/Gallery_North/wave_short01.krv", "wave_short01.krv"),
    ("/zq/res/Gallery_North/wave_short02.krv", "wave_short02.krv"),
    ("/zq/res/galleryeastern/paperlanternwalks.krv", "paperlanternwalks.krv"),
    ("/zq/res/marble/pebble.krv", "pebble.krv"),
    ("/zq/res/Zeko/teaser.krv", "teaser.krv"),
]
WORKING_FOLDER = "korvane"
CONTENTS_FOLDER = "builtin-contents"

# Resources.
LANG_JAPANESE = 1041
LANG_ENGLISH_US = 1033
IDS_TITLE = 103
IDD_PROGRESS = 103
IDI_APP = 107
IDC_APP_ICON = 2
IDC_PROGRESS = 1000
BAR_RANGE = (0, 10000)

# Window styles of the dialog template and its controls.
WS_POPUP, WS_CHILD, WS_VISIBLE = 0x80000000, 0x40000000, 0x10000000
WS_CLIPSIBLINGS, WS_BORDER, WS_GROUP = 0x04000000, 0x00800000, 0x00020000
DS_3DLOOK, DS_SETFONT, DS_NOIDLEMSG, DS_CENTER = 0x0004, 0x0040, 0x0100, 0x0800
SS_ICON, SS_NOPREFIX = 0x0003, 0x0080
WS_EX_NOPARENTNOTIFY, WS_EX_CLIENTEDGE, WS_EX_CONTROLPARENT = 0x0004, 0x0200, 0x10000
DIALOG_STYLE = WS_POPUP | DS_CENTER | DS_NOIDLEMSG | DS_SETFONT
DIALOG_EXSTYLE = WS_EX_CLIENTEDGE | WS_EX_NOPARENTNOTIFY
ICON_STYLE = WS_CHILD | WS_VISIBLE | SS_ICON
TEXT_STYLE = WS_CHILD | WS_VISIBLE | WS_GROUP | SS_NOPREFIX
BAR_STYLE = WS_CHILD | WS_VISIBLE | WS_BORDER
IDOK = 1
