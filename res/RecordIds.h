// The strings of the device records: what tirvelctl and the station window
// say when a record cannot be kept, and the listing's words.
#pragma once

#include "common/Win.h"

namespace res {

// %1 where, %2 why (one of the reasons below)
inline constexpr fw::UINT IDS_RECORD_NOT_KEPT = 430;
inline constexpr fw::UINT IDS_RECORDS_WHY_FULL = 431;
inline constexpr fw::UINT IDS_RECORDS_WHY_CORRUPT = 432;
inline constexpr fw::UINT IDS_RECORDS_WHY_NEWER = 433;
// %1 the system's words
inline constexpr fw::UINT IDS_RECORDS_WHY_OPEN = 434;
inline constexpr fw::UINT IDS_RECORDS_WHY_OTHER = 435;
// %1 what was given
inline constexpr fw::UINT IDS_RECORDS_BAD_SETTING = 436;
inline constexpr fw::UINT IDS_RECORDS_NO_FOLDER = 437;
inline constexpr fw::UINT IDS_RECORDS_NONE_FOUND = 438;
// %1 the id
inline constexpr fw::UINT IDS_RECORDS_NO_SUCH = 439;
inline constexpr fw::UINT IDS_RECORDS_OFF = 440;
// %1 the option, %2 what was given
inline constexpr fw::UINT IDS_RECORDS_BAD_TIME = 441;
// %1 what was given
inline constexpr fw::UINT IDS_RECORDS_BAD_RESULT = 442;
// %1 records sent, %2 the server, %3 still queued
inline constexpr fw::UINT IDS_RECORDS_PUSHED = 443;
// %1 the server, %2 why, %3 still queued
inline constexpr fw::UINT IDS_RECORDS_PUSH_FAILED = 444;
// %1 where
inline constexpr fw::UINT IDS_RECORDS_CANNOT_READ = 445;
inline constexpr fw::UINT IDS_RECORDS_PUSH_LOCAL_ONLY = 446;
inline constexpr fw::UINT IDS_CLI_COLUMN_RECORD = 447;
inline constexpr fw::UINT IDS_CLI_COLUMN_STATION = 448;
inline constexpr fw::UINT IDS_CLI_COLUMN_COMMAND = 449;
inline constexpr fw::UINT IDS_CLI_COLUMN_WANTED = 450;
inline constexpr fw::UINT IDS_CLI_HELP_RECORDS = 451;
inline constexpr fw::UINT IDS_CLI_HELP_STATION_NAME = 452;
inline constexpr fw::UINT IDS_CLI_HELP_OPERATOR = 453;
inline constexpr fw::UINT IDS_CLI_HELP_RECORDS_COMMAND = 454;
inline constexpr fw::UINT IDS_CLI_HELP_RECORDS_SHOW = 455;
inline constexpr fw::UINT IDS_CLI_HELP_RECORDS_PUSH = 456;
inline constexpr fw::UINT IDS_CLI_COLUMN_OPERATOR = 457;
inline constexpr fw::UINT IDS_CLI_COLUMN_STARTED = 458;
// %1 when, %2 the result in words, %3 the station
inline constexpr fw::UINT IDS_STATION_LAST_WORKED = 459;
inline constexpr fw::UINT IDS_STATION_NEVER_WORKED = 460;
inline constexpr fw::UINT IDS_CLI_COLUMN_FINISHED = 461;
inline constexpr fw::UINT IDS_CLI_LABEL_PROFILE = 462;
inline constexpr fw::UINT IDS_CLI_LABEL_FIRMWARE = 463;
// Where an item's wanted value came from.
inline constexpr fw::UINT IDS_CLI_COLUMN_SOURCE = 481;
// The records database is one of a command's inputs (490-499).
// %1 the output, %2 the records database
inline constexpr fw::UINT IDS_CLI_OUTPUT_IS_RECORDS = 490;
// %1 the records database, %2 the file the command reads
inline constexpr fw::UINT IDS_CLI_RECORDS_OVER_INPUT = 491;
// %1 the option
inline constexpr fw::UINT IDS_RECORDS_EMPTY_FILTER = 492;
// Value pools (555-579).
// %1 the pool
inline constexpr fw::UINT IDS_POOL_UNKNOWN = 555;
// %1 the pool
inline constexpr fw::UINT IDS_POOL_EXISTS = 556;
// %1 the file
inline constexpr fw::UINT IDS_POOL_NO_ROWS = 557;
// %1 the pool
inline constexpr fw::UINT IDS_POOL_EMPTY = 558;
// %1 rows, %2 the pool, %3 where
inline constexpr fw::UINT IDS_POOL_IMPORTED = 559;
inline constexpr fw::UINT IDS_POOL_NONE = 560;
// %1 the IMEI
inline constexpr fw::UINT IDS_POOL_NONE_FOR_IMEI = 561;
inline constexpr fw::UINT IDS_CLI_COLUMN_POOL = 562;
inline constexpr fw::UINT IDS_CLI_COLUMN_ROWS = 563;
inline constexpr fw::UINT IDS_CLI_COLUMN_TIED = 564;
inline constexpr fw::UINT IDS_CLI_COLUMN_FREE = 565;
inline constexpr fw::UINT IDS_CLI_COLUMN_RESERVED = 566;
inline constexpr fw::UINT IDS_CLI_COLUMN_ROW = 567;
inline constexpr fw::UINT IDS_CLI_COLUMN_STATE = 568;
inline constexpr fw::UINT IDS_CLI_COLUMN_TIED_AT = 569;
inline constexpr fw::UINT IDS_CLI_COLUMN_WRITTEN_AT = 570;
inline constexpr fw::UINT IDS_CLI_COLUMN_COLUMNS = 571;
inline constexpr fw::UINT IDS_CLI_HELP_POOL = 572;
inline constexpr fw::UINT IDS_CLI_HELP_POOL_IMPORT = 573;
inline constexpr fw::UINT IDS_CLI_HELP_POOL_STATUS = 574;
inline constexpr fw::UINT IDS_CLI_HELP_POOL_LIST = 575;
inline constexpr fw::UINT IDS_CLI_HELP_POOL_SHOW = 576;
// %1 the pool
inline constexpr fw::UINT IDS_POOL_NEEDS_RECORDS = 578;
// %1 the item's number, %2 the values table, %3 the pool
inline constexpr fw::UINT IDS_POOL_ITEM_TWICE = 579;
// A batch's devices drawing from a pool (590-599).
// %1 the pool, %2 why
inline constexpr fw::UINT IDS_POOL_DRAW_FAILED = 590;
// %1 the IMEI as first read, %2 as read again
inline constexpr fw::UINT IDS_VALUES_IMEI_UNSURE = 591;
inline constexpr fw::UINT IDS_CLI_HELP_POOL_DRAW = 592;
// %1 the pool, %2 the row, %3 the IMEI
inline constexpr fw::UINT IDS_POOL_MARK_FAILED = 594;

}  // namespace res
