// The strings of tirvel-line: its command line, and the API's refusals (in
// the language a client asks for).
#pragma once

#include "common/Win.h"

namespace res {

// The API's refusals (620-644).
// %1 the parameter, %2 the parameters the call takes
inline constexpr fw::UINT IDS_LINE_UNKNOWN_PARAMETER = 620;
// %1 the parameter
inline constexpr fw::UINT IDS_LINE_PARAMETER_TWICE = 621;
inline constexpr fw::UINT IDS_LINE_PARAMETER_EMPTY = 622;
// %1 the parameter, %2 its value
inline constexpr fw::UINT IDS_LINE_BAD_TIME = 623;
// %1 the parameter, %2 its value, %3 the choices
inline constexpr fw::UINT IDS_LINE_BAD_CHOICE = 624;
// %1 the parameter, %2 its value, %3 and %4 the bounds
inline constexpr fw::UINT IDS_LINE_BAD_NUMBER = 625;
inline constexpr fw::UINT IDS_LINE_BAD_CURSOR = 626;
// %1 since, %2 until
inline constexpr fw::UINT IDS_LINE_BAD_SPAN = 627;
// %1 what was given
inline constexpr fw::UINT IDS_LINE_BAD_ID = 628;
inline constexpr fw::UINT IDS_LINE_NO_RECORD = 629;
inline constexpr fw::UINT IDS_LINE_NEEDS_TOKEN = 630;
inline constexpr fw::UINT IDS_LINE_BAD_TOKEN = 631;
inline constexpr fw::UINT IDS_LINE_NEEDS_ADMIN = 632;
inline constexpr fw::UINT IDS_LINE_BAD_LOGIN = 633;
// %1 seconds
inline constexpr fw::UINT IDS_LINE_LOGIN_PAUSED = 634;
// %1 the method, %2 the path
inline constexpr fw::UINT IDS_LINE_NO_SUCH_CALL = 635;
inline constexpr fw::UINT IDS_LINE_READ_ONLY = 636;
// %1 why
inline constexpr fw::UINT IDS_LINE_DATABASE_DOWN = 637;
inline constexpr fw::UINT IDS_LINE_NOT_SET_UP = 638;
// %1 what is wrong
inline constexpr fw::UINT IDS_LINE_BAD_BODY = 639;
inline constexpr fw::UINT IDS_LINE_CROSS_SITE = 640;
// %1 the parameter
inline constexpr fw::UINT IDS_LINE_BAD_TEXT = 641;
// %1 the ID
inline constexpr fw::UINT IDS_LINE_NO_TOKEN = 642;

// The command line (645-669).
// %1 the name, %2 the ID
inline constexpr fw::UINT IDS_LINE_TOKEN_MADE = 645;
// %1 the user, %2 the role
inline constexpr fw::UINT IDS_LINE_USER_MADE = 646;
inline constexpr fw::UINT IDS_LINE_USER_EXISTS = 647;
inline constexpr fw::UINT IDS_LINE_PASSWORDS_DIFFER = 648;
// %1 the least length
inline constexpr fw::UINT IDS_LINE_PASSWORD_SHORT = 649;
// %1 the user
inline constexpr fw::UINT IDS_LINE_PASSWORD_PROMPT = 650;
inline constexpr fw::UINT IDS_LINE_PASSWORD_AGAIN = 651;
// %1 the server, %2 the address
inline constexpr fw::UINT IDS_LINE_SERVING = 652;
// %1 why
inline constexpr fw::UINT IDS_LINE_CANNOT_SERVE = 653;
// %1 the server, %2 why
inline constexpr fw::UINT IDS_LINE_CANNOT_REACH = 654;
inline constexpr fw::UINT IDS_LINE_NEEDS_RECORDS = 655;
// %1 the file, %2 why
inline constexpr fw::UINT IDS_LINE_TLS_FILE = 656;
// %1 the ID
inline constexpr fw::UINT IDS_LINE_TOKEN_REVOKED = 657;
// %1 the address
inline constexpr fw::UINT IDS_LINE_PLAIN_ON_NETWORK = 658;
inline constexpr fw::UINT IDS_LINE_HELP = 659;
inline constexpr fw::UINT IDS_LINE_HELP_RECORDS = 660;
inline constexpr fw::UINT IDS_LINE_HELP_LISTEN = 661;
inline constexpr fw::UINT IDS_LINE_HELP_TLS_CERT = 662;
inline constexpr fw::UINT IDS_LINE_HELP_TLS_KEY = 663;
inline constexpr fw::UINT IDS_LINE_HELP_TOKEN_ADD = 664;
inline constexpr fw::UINT IDS_LINE_HELP_TOKEN_REVOKE = 665;
inline constexpr fw::UINT IDS_LINE_HELP_TOKEN_LIST = 666;
inline constexpr fw::UINT IDS_LINE_HELP_USER_ADD = 667;
inline constexpr fw::UINT IDS_LINE_HELP_ROLE = 668;
// %1 what was given
inline constexpr fw::UINT IDS_LINE_BAD_LISTEN = 669;
inline constexpr fw::UINT IDS_LINE_HELP_TOKEN = 670;
inline constexpr fw::UINT IDS_LINE_HELP_USER = 671;

}  // namespace res
