// Resource IDs shared by the resources and the code: dialogs, controls,
// commands, strings and messages.
#pragma once

#include "common/Win.h"

namespace res {

// Dialog templates and other resources.
inline constexpr fw::UINT IDD_ABOUTBOX = 100;
inline constexpr fw::UINT IDD_TIRVEL2_FORM = 101;
inline constexpr fw::UINT IDR_MAINFRAME = 128;
inline constexpr fw::UINT IDD_SETTINGS = 132;
inline constexpr fw::UINT IDD_TRANSFER = 133;
inline constexpr fw::UINT IDD_PASSWORD = 137;
// The desktop app's bitmaps and icons: the toolbar's 16-colour images (under
// IDR_MAINFRAME), its 24-bit disabled and normal/hot images, the document icon.
inline constexpr fw::UINT IDB_TOOLBAR_DISABLED = 130;
inline constexpr fw::UINT IDB_TOOLBAR_24 = 131;
inline constexpr fw::UINT IDR_DOCUMENT_ICON = 129;

// Messages of the system's own.
inline constexpr fw::UINT WM_PROBE_RESULT = fw::WM_USER + 100;    // wParam: probe result
inline constexpr fw::UINT WM_TRANSFER_DONE = fw::WM_USER + 1000;  // wParam: transfer result

// Commands (toolbar).
inline constexpr fw::UINT ID_START_CONFIG = 32774;
inline constexpr fw::UINT ID_STOP_CONFIG = 32775;
inline constexpr fw::UINT ID_MODIFY = 32776;
inline constexpr fw::UINT ID_RESTORE = 32777;
inline constexpr fw::UINT ID_SETTINGS = 32778;
inline constexpr fw::UINT ID_UPDATE_FIRMWARE = 32780;
inline constexpr fw::UINT ID_SELECT_FIRMWARE = 32781;
inline constexpr fw::UINT ID_SHOW_DEBUG_INFO = 32782;
inline constexpr fw::UINT ID_APP_ABOUT = 57664;
inline constexpr fw::UINT ID_APP_EXIT = 57665;
// Commands with accelerators only (no toolbar button).
inline constexpr fw::UINT ID_FILE_NEW = 57600;
inline constexpr fw::UINT ID_FILE_OPEN = 57601;
inline constexpr fw::UINT ID_FILE_SAVE = 57603;
inline constexpr fw::UINT ID_FILE_PRINT = 57607;
inline constexpr fw::UINT ID_EDIT_COPY = 57634;
inline constexpr fw::UINT ID_EDIT_CUT = 57635;
inline constexpr fw::UINT ID_EDIT_PASTE = 57637;
inline constexpr fw::UINT ID_EDIT_UNDO = 57643;
inline constexpr fw::UINT ID_NEXT_PANE = 57680;
inline constexpr fw::UINT ID_PREV_PANE = 57681;

// Controls of the form (template 101). Row N of the item table has the four
// controls base + N.
inline constexpr int IDC_HELP_PANE = 1001;
inline constexpr int IDC_IMEI = 1026;
inline constexpr int IDC_VERSION = 1027;
inline constexpr int IDC_EXPORT_CONFIG = 1132;
inline constexpr int IDC_IMPORT_CONFIG = 1133;
inline constexpr int IDC_TEMPLATE_CONFIG = 1135;
inline constexpr int IDC_CLEAR_CONFIG = 1136;
inline constexpr int IDC_IMEI_CAPTION = 1140;
inline constexpr int IDC_VERSION_CAPTION = 1141;
inline constexpr int IDC_LOG_PANE = 1142;
inline constexpr int IDC_CLEAR_LOG = 1144;
inline constexpr int IDC_SAVE_LOG = 1145;
inline constexpr int IDC_ITEM_LABEL_BASE = 1200;
inline constexpr int IDC_ITEM_CURRENT_BASE = 1300;
inline constexpr int IDC_ITEM_NEW_BASE = 1400;
inline constexpr int IDC_ITEM_MODIFY_BASE = 1500;

// Controls of the dialogs.
inline constexpr int IDC_COM_PORT = 1002;       // settings dialog 132
inline constexpr int IDC_PASSWORD = 1147;       // password dialog 137
inline constexpr int IDC_ABOUT_NOTICE = 1003;   // about box 100
inline constexpr int IDC_COM_DEVICE = 1004;     // settings dialog 132: what the number opens
inline constexpr int IDC_TRANSFER_PATH = 1136;  // transfer dialog 133
inline constexpr int IDC_TRANSFER_PROGRESS = 1137;
inline constexpr int IDC_TRANSFER_PROGRESS_CAPTION = 1146;  // Chinese template only

// Strings.
inline constexpr fw::UINT IDS_OPEN_PORT_FAILED = 102;
inline constexpr fw::UINT IDS_STARTUP_TIMEOUT = 103;
inline constexpr fw::UINT IDS_READ_CONFIG_FAILED = 104;
inline constexpr fw::UINT IDS_READ_IMEI_FAILED = 105;
inline constexpr fw::UINT IDS_READ_VERSION_FAILED = 106;
inline constexpr fw::UINT IDS_ITEM_PLACEHOLDER = 107;  // "Item%d"
inline constexpr fw::UINT IDS_SET_FAILED = 110;
inline constexpr fw::UINT IDS_SET_SUCCEEDED = 111;
inline constexpr fw::UINT IDS_RESTORE_SUCCEEDED = 112;
inline constexpr fw::UINT IDS_RESTORE_FAILED = 113;
inline constexpr fw::UINT IDS_PROBE_THREAD_FAILED = 114;
inline constexpr fw::UINT IDS_PASSWORD_TOO_LONG = 115;
inline constexpr fw::UINT IDS_VALUE_NOT_SENDABLE = 116;   // %1: the item number
inline constexpr fw::UINT IDS_WRITE_FILE_FAILED = 117;    // %1: the path
inline constexpr fw::UINT IDS_FIRMWARE_UNREADABLE = 118;  // %1: the path
inline constexpr fw::UINT IDS_FIRMWARE_EMPTY = 119;       // %1: the path
inline constexpr fw::UINT IDS_IMPORT_NOTHING_MATCHED = 120;
inline constexpr fw::UINT IDS_IMPORT_TOO_LARGE = 121;  // %1: the limit in MB
inline constexpr fw::UINT IDS_PASSWORD_NOT_ENCODABLE = 122;
inline constexpr fw::UINT IDS_FIRMWARE_NOT_REGULAR = 123;  // %1: the path
inline constexpr fw::UINT IDS_FIRMWARE_TOO_LARGE = 124;    // %1: the path, %2: the limit in MB
inline constexpr fw::UINT IDS_LINE_NOISE = 125;
inline constexpr fw::UINT IDS_VALUE_NOT_ENCODABLE = 126;  // %1: the item number
inline constexpr fw::UINT IDS_ITEM_NOT_LISTED = 470;      // %1: the item number
inline constexpr fw::UINT IDS_DOCUMENT_TEMPLATE = 128;
inline constexpr fw::UINT IDS_FILE_NOT_REGULAR = 138;  // %1: the path
inline constexpr fw::UINT IDS_OUTPUT_REFUSED = 139;    // %1: the path
// tirvelctl's own lines (200-299).
inline constexpr fw::UINT IDS_CLI_USAGE_ERROR = 200;
inline constexpr fw::UINT IDS_CLI_SEE_HELP = 201;
inline constexpr fw::UINT IDS_CLI_BAD_PORT = 202;
inline constexpr fw::UINT IDS_CLI_BAD_ASSIGNMENT = 203;
inline constexpr fw::UINT IDS_CLI_DUPLICATE_ITEM = 204;
inline constexpr fw::UINT IDS_CLI_CANNOT_READ_FILE = 205;
inline constexpr fw::UINT IDS_CLI_BAD_LANGUAGE = 206;
inline constexpr fw::UINT IDS_CLI_NO_SUCH_ITEM = 207;
inline constexpr fw::UINT IDS_CLI_POWER_ON = 210;
inline constexpr fw::UINT IDS_CLI_COUNTDOWN = 211;
inline constexpr fw::UINT IDS_CLI_CONNECTED = 212;
inline constexpr fw::UINT IDS_CLI_PASSWORD_PROMPT = 213;
inline constexpr fw::UINT IDS_CLI_PASSWORD_NEEDED = 214;
inline constexpr fw::UINT IDS_CLI_PASSWORD_REFUSED = 215;
inline constexpr fw::UINT IDS_CLI_INCOMPLETE_REPLY = 216;
inline constexpr fw::UINT IDS_CLI_INTERRUPTED = 217;
inline constexpr fw::UINT IDS_CLI_ITEMS_DIFFER = 218;
inline constexpr fw::UINT IDS_CLI_RESTORE_CHANGED = 219;
inline constexpr fw::UINT IDS_CLI_COLUMN_NUMBER = 220;
inline constexpr fw::UINT IDS_CLI_COLUMN_NAME = 221;
inline constexpr fw::UINT IDS_CLI_COLUMN_VALUE = 222;
inline constexpr fw::UINT IDS_CLI_COLUMN_BEFORE = 223;
inline constexpr fw::UINT IDS_CLI_COLUMN_NOW = 224;
inline constexpr fw::UINT IDS_CLI_COLUMN_WRITTEN = 225;
inline constexpr fw::UINT IDS_CLI_YES = 226;
inline constexpr fw::UINT IDS_CLI_NO = 227;
inline constexpr fw::UINT IDS_CLI_LABEL_IMEI = 228;
inline constexpr fw::UINT IDS_CLI_LABEL_VERSION = 229;
inline constexpr fw::UINT IDS_CLI_COLUMN_PORT = 230;
inline constexpr fw::UINT IDS_CLI_COLUMN_DEVICE = 231;
inline constexpr fw::UINT IDS_CLI_PINNED = 232;
inline constexpr fw::UINT IDS_CLI_MISSING = 233;
inline constexpr fw::UINT IDS_CLI_NO_PORTS = 234;
inline constexpr fw::UINT IDS_CLI_COLUMN_TIME = 240;
inline constexpr fw::UINT IDS_CLI_COLUMN_RESULT = 241;
inline constexpr fw::UINT IDS_CLI_COLUMN_ITEMS = 242;
inline constexpr fw::UINT IDS_CLI_COLUMN_MESSAGE = 243;
inline constexpr fw::UINT IDS_CLI_RESULT_OK = 244;
inline constexpr fw::UINT IDS_CLI_RESULT_FAILED = 245;
inline constexpr fw::UINT IDS_CLI_BATCH_DEVICE = 246;
inline constexpr fw::UINT IDS_CLI_BATCH_SUMMARY = 247;
inline constexpr fw::UINT IDS_CLI_REPORT_FAILED = 248;
inline constexpr fw::UINT IDS_CLI_BATCH_PROFILE_FAILED = 249;
// What the read-back after a write found. %1 the items, %2 the attempt, %3 of
inline constexpr fw::UINT IDS_CLI_WRITING_AGAIN = 235;
inline constexpr fw::UINT IDS_CLI_VALUES_DIFFER = 236;     // %1 the items
inline constexpr fw::UINT IDS_CLI_KEYS_UNMATCHED = 237;    // %1 the keys
inline constexpr fw::UINT IDS_CLI_READ_BACK_FAILED = 238;  // %1 the items
inline constexpr fw::UINT IDS_CLI_READ_BACK_HOLDS = 239;
// tirvelctl's firmware update, XMODEM send and debug log (250-299).
inline constexpr fw::UINT IDS_CLI_LOADER_POWER_ON = 250;
inline constexpr fw::UINT IDS_CLI_LOADER_COUNTDOWN = 251;
inline constexpr fw::UINT IDS_CLI_TRANSFER_STATUS =
    252;                                                // %1 percent, %2/%3 bytes, %4 rate, %5 left
inline constexpr fw::UINT IDS_CLI_TRANSFER_LINE = 253;  // %1 percent, %2 of %3 bytes
inline constexpr fw::UINT IDS_CLI_WAITING_START = 254;  // %1 seconds
inline constexpr fw::UINT IDS_CLI_SEND_CANCELLED = 255;
inline constexpr fw::UINT IDS_CLI_SEND_NO_START = 256;
inline constexpr fw::UINT IDS_CLI_SEND_BLOCK_FAILED = 257;
inline constexpr fw::UINT IDS_CLI_SEND_END_FAILED = 258;
inline constexpr fw::UINT IDS_CLI_SEND_SUCCEEDED = 259;  // %1 bytes
inline constexpr fw::UINT IDS_CLI_LOG_SHOWING = 260;
inline constexpr fw::UINT IDS_CLI_EMPTY_FILE = 261;  // %1 the path
inline constexpr fw::UINT IDS_CLI_HELP_UPDATE = 262;
inline constexpr fw::UINT IDS_CLI_HELP_SEND = 263;
inline constexpr fw::UINT IDS_CLI_HELP_LOG = 264;
inline constexpr fw::UINT IDS_CLI_HELP_FIRMWARE = 265;
inline constexpr fw::UINT IDS_CLI_HELP_SEND_FILE = 266;
inline constexpr fw::UINT IDS_CLI_HELP_LOG_OUTPUT = 267;
inline constexpr fw::UINT IDS_CLI_HELP_LOG_SECONDS = 268;
inline constexpr fw::UINT IDS_CLI_LOADER_FOUND = 269;
inline constexpr fw::UINT IDS_CLI_PORT_IN_USE = 270;   // %1 the device
inline constexpr fw::UINT IDS_CLI_PORT_DENIED = 271;   // %1 the device
inline constexpr fw::UINT IDS_CLI_PORT_MISSING = 272;  // %1 the port
// %1 the device
inline constexpr fw::UINT IDS_CLI_PORT_NOT_SERIAL = 273;
// %1 option, %2 maximum, %3 as given
inline constexpr fw::UINT IDS_CLI_BAD_NUMBER = 274;
// %1 the profile's keys the device did not list
inline constexpr fw::UINT IDS_CLI_BATCH_KEYS_MISSING = 275;
// %1 the IMEI as it came
inline constexpr fw::UINT IDS_CLI_BATCH_IMEI_GARBLED = 276;
// %1 the path
inline constexpr fw::UINT IDS_CLI_NOT_REGULAR_FILE = 280;
// %1 the path, %2 the limit in MB
inline constexpr fw::UINT IDS_CLI_FILE_TOO_LARGE = 281;
// The file chooser's question before it names a file that does not exist yet.
// %1 the path
inline constexpr fw::UINT IDS_CREATE_FILE_PROMPT = 285;
inline constexpr fw::UINT IDS_PROMPT_YES = 286;
inline constexpr fw::UINT IDS_PROMPT_NO = 287;
// %1 the item, %2 the value, %3 the code page
inline constexpr fw::UINT IDS_CLI_VALUE_NOT_ENCODABLE = 288;
// The desktop app's own (300-349).
inline constexpr fw::UINT IDS_INDICATOR_CAPS = 301;
inline constexpr fw::UINT IDS_INDICATOR_NUM = 302;
inline constexpr fw::UINT IDS_INDICATOR_SCRL = 303;
inline constexpr fw::UINT IDS_INDICATOR_UNKNOWN = 304;
inline constexpr fw::UINT IDS_ALL_FILES_FILTER = 305;
inline constexpr fw::UINT IDS_UNTITLED = 306;
inline constexpr fw::UINT IDS_APP_USAGE = 307;
inline constexpr fw::UINT IDS_APP_OPTION_LANG = 308;
// The desktops' command-line help, tirvel's and tirvel-station's.
// %1 the program and its options
inline constexpr fw::UINT IDS_APP_HELP_USAGE = 505;
inline constexpr fw::UINT IDS_APP_OPTION_HELP = 506;
inline constexpr fw::UINT IDS_APP_OPTION_VERSION = 507;
inline constexpr fw::UINT IDS_STATION_HELP = 508;
inline constexpr fw::UINT IDS_STATION_OPTION_PORTS = 509;
inline constexpr fw::UINT IDS_STATION_OPTION_PROFILE = 510;
inline constexpr fw::UINT IDS_STATION_OPTION_FIRMWARE = 511;
inline constexpr fw::UINT IDS_STATION_OPTION_COUNT = 512;
inline constexpr fw::UINT IDS_STATION_OPTION_REPORT = 513;
inline constexpr fw::UINT IDS_STATION_OPTION_START = 514;
inline constexpr fw::UINT IDS_PRINT_FAILED = 309;
inline constexpr fw::UINT IDS_COM_OPENS = 310;  // "Opens %1": what a COM number reaches
inline constexpr fw::UINT IDS_COM_REACHES_NOTHING = 311;
inline constexpr fw::UINT IDS_COM_PINNED_ABSENT = 312;
// tirvelctl: the files a command reads and writes, settled before a port opens.
// %1 the path
inline constexpr fw::UINT IDS_CLI_PROFILE_NOT_REGULAR = 313;
// %1 the path, %2 the limit in MB
inline constexpr fw::UINT IDS_CLI_PROFILE_TOO_LARGE = 314;
// %1 the path
inline constexpr fw::UINT IDS_CLI_OUTPUT_REFUSED = 315;
// %1 the output, %2 the input it is
inline constexpr fw::UINT IDS_CLI_OUTPUT_IS_INPUT = 316;
// %1 the output, %2 the port it is
inline constexpr fw::UINT IDS_CLI_OUTPUT_IS_PORT = 317;
// tirvelctl log (330-349). %1 the path given to --output
inline constexpr fw::UINT IDS_CLI_LOG_OUTPUT_TERMINAL = 330;
// tirvelctl's station of several ports at once (350-399).
// %1 the list as given
inline constexpr fw::UINT IDS_CLI_BAD_PORT_LIST = 350;
// %1 the port
inline constexpr fw::UINT IDS_CLI_PORT_REPEATED = 351;
// %1 the most
inline constexpr fw::UINT IDS_CLI_TOO_MANY_PORTS = 352;
// %1 the command
inline constexpr fw::UINT IDS_CLI_ONE_PORT_ONLY = 353;
inline constexpr fw::UINT IDS_CLI_COLUMN_BYTES = 354;
inline constexpr fw::UINT IDS_CLI_HELP_UPDATE_COUNT = 355;
inline constexpr fw::UINT IDS_CLI_HELP_REPORT = 356;
inline constexpr fw::UINT IDS_CLI_HELP_PORT = 357;
inline constexpr fw::UINT IDS_CLI_HELP_DEVICE = 358;
inline constexpr fw::UINT IDS_STATION_WAITING = 360;
inline constexpr fw::UINT IDS_STATION_WAITING_LOADER = 361;
inline constexpr fw::UINT IDS_STATION_WAITING_START = 362;
inline constexpr fw::UINT IDS_STATION_CONNECTED = 363;
inline constexpr fw::UINT IDS_STATION_LOADER_FOUND = 364;
// %1 items
inline constexpr fw::UINT IDS_STATION_WRITING = 365;
inline constexpr fw::UINT IDS_STATION_CHECKING = 366;
// %1 percent, %2 KB/s
inline constexpr fw::UINT IDS_STATION_SENDING = 367;
inline constexpr fw::UINT IDS_STATION_OK = 368;
// %1 the reason
inline constexpr fw::UINT IDS_STATION_FAILED = 369;
// %1 the reason
inline constexpr fw::UINT IDS_STATION_OUT_OF_USE = 370;
inline constexpr fw::UINT IDS_STATION_FINISHED = 371;
// %1 done (of N), %2 failed, %3 per hour
inline constexpr fw::UINT IDS_STATION_TOTALS = 372;
inline constexpr fw::UINT IDS_STATION_FINISHING = 373;
inline constexpr fw::UINT IDS_STATION_CANCELLING = 374;
// %1 how
inline constexpr fw::UINT IDS_STATION_WORKER_DIED = 375;
// %1
inline constexpr fw::UINT IDS_STATION_EXIT_CODE = 376;
// %1
inline constexpr fw::UINT IDS_STATION_SIGNAL = 377;
// %1 the port
inline constexpr fw::UINT IDS_STATION_NO_DEVICE = 378;
// %1 the port, %2 why
inline constexpr fw::UINT IDS_STATION_CANNOT_START = 379;
// %1 the port, %2 what
inline constexpr fw::UINT IDS_STATION_PORT_LINE = 380;
inline constexpr fw::UINT IDS_STATION_CANCELLED = 381;
// %1 devices, %2 OK, %3 failed, %4 ports out of use
inline constexpr fw::UINT IDS_STATION_SUMMARY = 382;
// %1 the port
inline constexpr fw::UINT IDS_STATION_WORKER_FAILED_AGAIN = 383;
// %1 IMEI, %2 version
inline constexpr fw::UINT IDS_STATION_DEVICE = 384;
// %1 the file, %2 why
inline constexpr fw::UINT IDS_STATION_COPY_FAILED = 385;
// %1 how the port's first try failed
inline constexpr fw::UINT IDS_CLI_PORT_GAVE_NO_DEVICE = 480;
// The values table of a batch or an apply; %1 the file, %2 the line.
inline constexpr fw::UINT IDS_VALUES_IMEI_FIRST = 540;
// %3 the header cell
inline constexpr fw::UINT IDS_VALUES_BAD_COLUMN = 541;
// %3 the header cell, %4 the item number
inline constexpr fw::UINT IDS_VALUES_DUPLICATE_COLUMN = 542;
// %3 the IMEI, %4 the earlier line
inline constexpr fw::UINT IDS_VALUES_DUPLICATE_IMEI = 543;
// %3 the cell
inline constexpr fw::UINT IDS_VALUES_BAD_IMEI = 544;
inline constexpr fw::UINT IDS_VALUES_EMPTY_ROW = 545;
// %3 the row's cells, %4 the header's
inline constexpr fw::UINT IDS_VALUES_CELL_COUNT = 546;
inline constexpr fw::UINT IDS_VALUES_BAD_QUOTING = 547;
inline constexpr fw::UINT IDS_VALUES_LINE_BREAK = 548;
// %3 the code page
inline constexpr fw::UINT IDS_VALUES_NOT_CODE_PAGE = 549;
// %3 the code page
inline constexpr fw::UINT IDS_VALUES_NOT_ENCODABLE = 550;
// %1 the file, %2 the line, %3 the item, %4 the braces (a profile's too)
inline constexpr fw::UINT IDS_VALUES_BAD_PATTERN = 551;
// %1 the IMEI
inline constexpr fw::UINT IDS_VALUES_NO_ROW = 552;
// %1 the item, %2 the value, %3 the bound in bytes
inline constexpr fw::UINT IDS_VALUES_NOT_SENDABLE = 553;
inline constexpr fw::UINT IDS_CLI_HELP_VALUES = 554;
inline constexpr fw::UINT IDS_APP_TITLE = 57344;
inline constexpr fw::UINT IDS_IDLE_MESSAGE = 57345;
inline constexpr fw::UINT IDS_PANE_FONT_FACE = 61452;
inline constexpr fw::UINT IDS_HELP_TEXT = 61453;
inline constexpr fw::UINT IDS_EXPORT_SUCCEEDED = 61463;
inline constexpr fw::UINT IDS_OPEN_FILE_FAILED = 61464;
inline constexpr fw::UINT IDS_TRANSFER_ERROR_CAPTION = 61465;
inline constexpr fw::UINT IDS_TRANSFER_FAILED = 61466;
inline constexpr fw::UINT IDS_FIRMWARE_FILTER = 61469;
inline constexpr fw::UINT IDS_FIRMWARE_TITLE = 61470;
inline constexpr fw::UINT IDS_LOADER_TIMEOUT = 61471;
inline constexpr fw::UINT IDS_TRANSFER_SUCCEEDED = 61472;
inline constexpr fw::UINT IDS_TRANSFER_INFO_CAPTION = 61473;
inline constexpr fw::UINT IDS_IMPORT_SUCCEEDED = 61476;

}  // namespace res
