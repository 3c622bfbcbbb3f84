// Resource IDs of the station window: its form, controls, strings and
// messages. Every control has its own ID, so the keyboard, screen readers and
// automation reach each of them, tiles included.
#pragma once

#include "common/Win.h"

namespace res {

inline constexpr fw::UINT IDD_STATION_FORM = 150;

// The job.
inline constexpr int IDC_STATION_JOB_CONFIGURE = 3001;
inline constexpr int IDC_STATION_JOB_UPDATE = 3002;
inline constexpr int IDC_STATION_FILE_CAPTION = 3003;
inline constexpr int IDC_STATION_FILE = 3004;
inline constexpr int IDC_STATION_BROWSE = 3005;
inline constexpr int IDC_STATION_PORTS_CAPTION = 3006;
inline constexpr int IDC_STATION_PORTS = 3007;
inline constexpr int IDC_STATION_COUNT_CAPTION = 3008;
inline constexpr int IDC_STATION_COUNT = 3009;
inline constexpr int IDC_STATION_PASSWORD_CAPTION = 3010;
inline constexpr int IDC_STATION_PASSWORD = 3011;
inline constexpr int IDC_STATION_REPORT_CAPTION = 3012;
inline constexpr int IDC_STATION_REPORT = 3013;
inline constexpr int IDC_STATION_REPORT_BROWSE = 3014;
inline constexpr int IDC_STATION_RECORDS_CAPTION = 3015;
inline constexpr int IDC_STATION_RECORDS = 3016;
inline constexpr int IDC_STATION_VALUES_CAPTION = 3017;
inline constexpr int IDC_STATION_VALUES = 3018;
inline constexpr int IDC_STATION_VALUES_BROWSE = 3019;
// The run.
inline constexpr int IDC_STATION_START = 3020;
inline constexpr int IDC_STATION_FINISH = 3021;
inline constexpr int IDC_STATION_ABORT = 3022;
inline constexpr int IDC_STATION_OPEN_REPORT = 3023;
inline constexpr int IDC_STATION_TOTALS = 3024;
inline constexpr int IDC_STATION_LAST_LINE = 3025;
inline constexpr int IDC_STATION_POOL_CAPTION = 3026;
inline constexpr int IDC_STATION_POOL = 3027;

// Up to eight ports as tiles, more as the rows of a compact table; each
// port's controls follow from its place.
inline constexpr int kStationTiles = 8;
inline constexpr int kStationRows = 32;
inline constexpr int IDC_STATION_TILE_BASE = 3100;
inline constexpr int IDC_STATION_ROW_BASE = 3200;
inline constexpr int kStationPartsPerPort = 8;
enum StationPart {
    kPartPort,
    kPartState,
    kPartImei,
    kPartProgress,
    kPartVerdict,
    kPartCounts,
    kPartHistory,  // the device's earlier work, from the records
    kPartValues,   // where the device's own values came from
};

constexpr int StationTileId(int tile, StationPart part) {
    return IDC_STATION_TILE_BASE + tile * kStationPartsPerPort + part;
}
constexpr int StationRowId(int row, StationPart part) {
    return IDC_STATION_ROW_BASE + row * kStationPartsPerPort + part;
}

// Strings.
inline constexpr fw::UINT IDS_STATION_CAPTION = 400;
inline constexpr fw::UINT IDS_STATION_JOB_CONFIGURE = 401;
inline constexpr fw::UINT IDS_STATION_JOB_UPDATE = 402;
// %1 done, %2 of how many ("-": no end set), %3 failed, %4 devices per hour, %5 time running
inline constexpr fw::UINT IDS_STATION_WINDOW_TOTALS = 403;
// %1 OK, %2 failed
inline constexpr fw::UINT IDS_STATION_TILE_COUNTS = 404;
inline constexpr fw::UINT IDS_STATION_VERDICT_OK = 405;
inline constexpr fw::UINT IDS_STATION_VERDICT_FAILED = 406;
inline constexpr fw::UINT IDS_STATION_NO_FILE = 407;
inline constexpr fw::UINT IDS_STATION_NO_PORTS = 408;
inline constexpr fw::UINT IDS_STATION_BAD_COUNT = 409;
inline constexpr fw::UINT IDS_STATION_CLOSE_RUNNING = 410;
inline constexpr fw::UINT IDS_STATION_PROFILE_FILTER = 411;
inline constexpr fw::UINT IDS_STATION_REPORT_FILTER = 412;
// %1 the path where tirvelctl was looked for
inline constexpr fw::UINT IDS_STATION_NO_WORKER_PROGRAM = 413;
inline constexpr fw::UINT IDS_STATION_VALUES_FILTER = 414;
// %1 a message built elsewhere (tirvelctl's, for the same refusal)
inline constexpr fw::UINT IDS_STATION_TEXT = 415;
// %1 the option as given
inline constexpr fw::UINT IDS_STATION_UNKNOWN_OPTION = 416;
// %1 the option
inline constexpr fw::UINT IDS_STATION_OPTION_VALUE = 417;
inline constexpr fw::UINT IDS_STATION_ONE_FILE = 418;
inline constexpr fw::UINT IDS_STATION_PORTS_OR_DEVICES = 419;
// %1 the report's path
inline constexpr fw::UINT IDS_STATION_NO_REPORT = 420;
inline constexpr fw::UINT IDS_STATION_OPTION_POOL = 421;

// Messages the supervisor's thread posts to the window.
inline constexpr fw::UINT WM_STATION_CHANGED = fw::WM_USER + 120;
inline constexpr fw::UINT WM_STATION_ENDED = fw::WM_USER + 121;
// A port picked from the list: its text lands once the drop-down is done
// writing the item into its edit part.
inline constexpr fw::UINT WM_STATION_PORT_PICKED = fw::WM_USER + 122;

}  // namespace res
