// Template 150: the station window. Up to eight ports are tiles large enough
// to read from two metres; more ports are the rows of a compact table. Both
// are hidden until a job names its ports.
#include "res/StationForm.h"

#include "res/NewTemplate.h"
#include "res/StationIds.h"

namespace res {
namespace {

using fw::ControlKind;

struct Captions {
    const char* configure;
    const char* update;
    const char* file;
    const char* ports;
    const char* count;
    const char* password;
    const char* report;
    const char* records;
    const char* values;
    const char* pool;
    const char* browse;
    const char* start;
    const char* finish;
    const char* abort;
    const char* openReport;
};

constexpr Captions kEnglish{"Configure with a profile",
                            "Update firmware",
                            "File:",
                            "Ports:",
                            "Count:",
                            "Password:",
                            "Report:",
                            "Records:",
                            "Values:",
                            "Pool:",
                            "Browse...",
                            "Start",
                            "Finish",
                            "Abort",
                            "Open report"};
constexpr Captions kChinese{"按配置文件配置", "更新固件", "文件：", "端口：",   "数量：",
                            "密码：",         "报告：",   "记录：", "取值表：", "取值池：",
                            "浏览...",        "开始",     "完成",   "中止",     "打开报告"};

constexpr int kTileWidth = 126;
constexpr int kTileHeight = 132;
constexpr int kTilesTop = 174;
constexpr int kRowHeight = 8;

void Add(fw::DialogTemplate& t, int id, ControlKind kind, unsigned style, fw::DialogRect rect,
         std::string caption = {}) {
    t.controls.push_back(fw::ControlTemplate{id, kind, style, rect, std::move(caption)});
}

void AddTile(fw::DialogTemplate& t, int tile) {
    using namespace fw;
    const int x = 10 + (tile % 4) * (kTileWidth + 4);
    const int y = kTilesTop + (tile / 4) * (kTileHeight + 4);
    const int w = kTileWidth - 8;
    Add(t, StationTileId(tile, kPartPort), ControlKind::Static, kHidden | kBorder,
        {x, y, kTileWidth, kTileHeight});
    Add(t, StationTileId(tile, kPartState), ControlKind::Static, kHidden, {x + 4, y + 14, w, 28});
    Add(t, StationTileId(tile, kPartImei), ControlKind::Static, kHidden, {x + 4, y + 44, w, 10});
    Add(t, StationTileId(tile, kPartProgress), ControlKind::ProgressBar, kHidden,
        {x + 4, y + 56, w, 10});
    Add(t, StationTileId(tile, kPartVerdict), ControlKind::Static, kHidden, {x + 4, y + 70, w, 22});
    Add(t, StationTileId(tile, kPartValues), ControlKind::Static, kHidden, {x + 4, y + 94, w, 10});
    Add(t, StationTileId(tile, kPartHistory), ControlKind::Static, kHidden,
        {x + 4, y + 106, w, 10});
    Add(t, StationTileId(tile, kPartCounts), ControlKind::Static, kHidden, {x + 4, y + 118, w, 10});
}

void AddRow(fw::DialogTemplate& t, int row) {
    using namespace fw;
    const int y = kTilesTop + row * kRowHeight;
    const int h = kRowHeight - 1;
    Add(t, StationRowId(row, kPartPort), ControlKind::Static, kHidden, {10, y, 50, h});
    Add(t, StationRowId(row, kPartState), ControlKind::Static, kHidden, {62, y, 140, h});
    Add(t, StationRowId(row, kPartImei), ControlKind::Static, kHidden, {204, y, 66, h});
    Add(t, StationRowId(row, kPartValues), ControlKind::Static, kHidden, {272, y, 58, h});
    Add(t, StationRowId(row, kPartHistory), ControlKind::Static, kHidden, {332, y, 60, h});
    Add(t, StationRowId(row, kPartProgress), ControlKind::ProgressBar, kHidden, {394, y, 50, h});
    Add(t, StationRowId(row, kPartVerdict), ControlKind::Static, kHidden, {446, y, 36, h});
    Add(t, StationRowId(row, kPartCounts), ControlKind::Static, kHidden, {484, y, 60, h});
}

}  // namespace

fw::DialogTemplate BuildStationForm(fw::Language language) {
    using namespace fw;
    const bool zh = language == Language::Chinese;
    const Captions& c = zh ? kChinese : kEnglish;
    DialogTemplate t = NewTemplate(IDD_STATION_FORM, language, "", "", 550,
                                   kTilesTop + 2 * (kTileHeight + 4) + 10);

    Add(t, IDC_STATION_JOB_CONFIGURE, ControlKind::RadioButton, kTabStop | kGroup, {10, 8, 150, 12},
        c.configure);
    Add(t, IDC_STATION_JOB_UPDATE, ControlKind::RadioButton, 0, {170, 8, 150, 12}, c.update);
    // The next group starts here: the radio buttons end above.

    Add(t, IDC_STATION_FILE_CAPTION, ControlKind::Static, kGroup, {10, 26, 50, 10}, c.file);
    Add(t, IDC_STATION_FILE, ControlKind::Edit, kBorder | kTabStop | kAutoHScroll,
        {62, 24, 380, 14});
    Add(t, IDC_STATION_BROWSE, ControlKind::PushButton, kTabStop, {448, 24, 60, 14}, c.browse);

    Add(t, IDC_STATION_PORTS_CAPTION, ControlKind::Static, 0, {10, 44, 50, 10}, c.ports);
    // Typed, or picked from the ports present; the height is the dropped list's.
    Add(t, IDC_STATION_PORTS, ControlKind::ComboBox, kTabStop, {62, 42, 150, 90});
    Add(t, IDC_STATION_COUNT_CAPTION, ControlKind::Static, 0, {222, 44, 40, 10}, c.count);
    Add(t, IDC_STATION_COUNT, ControlKind::Edit, kBorder | kTabStop | kNumber, {262, 42, 50, 14});
    Add(t, IDC_STATION_PASSWORD_CAPTION, ControlKind::Static, 0, {322, 44, 56, 10}, c.password);
    Add(t, IDC_STATION_PASSWORD, ControlKind::Edit, kBorder | kTabStop | kAutoHScroll | kPassword,
        {380, 42, 128, 14});

    Add(t, IDC_STATION_REPORT_CAPTION, ControlKind::Static, 0, {10, 62, 50, 10}, c.report);
    Add(t, IDC_STATION_REPORT, ControlKind::Edit, kBorder | kTabStop | kAutoHScroll,
        {62, 60, 380, 14});
    Add(t, IDC_STATION_REPORT_BROWSE, ControlKind::PushButton, kTabStop, {448, 60, 60, 14},
        c.browse);

    // Where the devices' records go, as tirvelctl's --records takes it; empty:
    // TIRVEL_RECORDS, else the user's records file.
    Add(t, IDC_STATION_RECORDS_CAPTION, ControlKind::Static, 0, {10, 80, 50, 10}, c.records);
    Add(t, IDC_STATION_RECORDS, ControlKind::Edit, kBorder | kTabStop | kAutoHScroll,
        {62, 78, 446, 14});

    // A Configure job's table of each device's own values by IMEI, as
    // tirvelctl's --values takes it; empty: none.
    Add(t, IDC_STATION_VALUES_CAPTION, ControlKind::Static, 0, {10, 98, 50, 10}, c.values);
    Add(t, IDC_STATION_VALUES, ControlKind::Edit, kBorder | kTabStop | kAutoHScroll,
        {62, 96, 262, 14});
    Add(t, IDC_STATION_VALUES_BROWSE, ControlKind::PushButton, kTabStop, {330, 96, 60, 14},
        c.browse);
    // A Configure job's value pool, by name, as tirvelctl's --pool takes it;
    // empty: none.
    Add(t, IDC_STATION_POOL_CAPTION, ControlKind::Static, 0, {398, 98, 40, 10}, c.pool);
    Add(t, IDC_STATION_POOL, ControlKind::Edit, kBorder | kTabStop | kAutoHScroll,
        {440, 96, 68, 14});

    Add(t, IDC_STATION_START, ControlKind::PushButton, kTabStop | kDefaultButton, {10, 116, 80, 20},
        c.start);
    Add(t, IDC_STATION_FINISH, ControlKind::PushButton, kTabStop | kDisabled, {96, 116, 80, 20},
        c.finish);
    Add(t, IDC_STATION_ABORT, ControlKind::PushButton, kTabStop | kDisabled, {182, 116, 80, 20},
        c.abort);
    Add(t, IDC_STATION_OPEN_REPORT, ControlKind::PushButton, kTabStop, {268, 116, 90, 20},
        c.openReport);

    Add(t, IDC_STATION_TOTALS, ControlKind::Static, 0, {10, 142, 530, 14});
    Add(t, IDC_STATION_LAST_LINE, ControlKind::Static, 0, {10, 158, 530, 10});

    for (int tile = 0; tile < kStationTiles; ++tile) {
        AddTile(t, tile);
    }
    for (int row = 0; row < kStationRows; ++row) {
        AddRow(t, row);
    }
    return t;
}

}  // namespace res
