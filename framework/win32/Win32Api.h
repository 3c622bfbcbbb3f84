// The Win32 headers as the window layer can live with them. <windows.h> names
// as macros what the system's own vocabulary (common/Win.h, the
// accelerator table) declares as constants and functions with the same
// values, and renames PostMessage and LoadString to their W forms, which
// would change the system's members in some files and not in others. Every
// file of the Win32 host includes this instead of <windows.h>; the constants
// stay usable by their usual names through the system's declarations.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// The ones above windows.h's own set.
#include <commctrl.h>
#include <commdlg.h>
#include <richedit.h>

#undef WM_COMMAND
#undef WM_TIMER
#undef WM_CLOSE
#undef WM_USER
#undef EN_CHANGE
#undef BN_CLICKED
#undef CBN_SELCHANGE
#undef CBN_EDITCHANGE
#undef CBN_DROPDOWN
#undef MAKEWPARAM
#undef LOWORD
#undef HIWORD
#undef SW_HIDE
#undef SW_SHOW
#undef MB_OK
#undef MB_OKCANCEL
#undef MB_YESNOCANCEL
#undef MB_YESNO
#undef MB_ICONINFORMATION
#undef IDOK
#undef IDCANCEL
#undef IDYES
#undef IDNO
#undef OFN_OVERWRITEPROMPT
#undef OFN_HIDEREADONLY
#undef OFN_FILEMUSTEXIST
#undef OFN_CREATEPROMPT
#undef PostMessage
#undef LoadString
#undef FSHIFT
#undef FCONTROL
#undef FALT
#undef VK_BACK
#undef VK_INSERT
#undef VK_DELETE
#undef VK_F6

#include "common/Win.h"
#include "framework/Dialog.h"

// Code outside the system's namespaces (window procedures, WinMain) keeps
// writing WM_COMMAND, IDOK or LOWORD(lParam) as with the plain headers.
using fw::BN_CLICKED;
using fw::CBN_DROPDOWN;
using fw::CBN_EDITCHANGE;
using fw::CBN_SELCHANGE;
using fw::EN_CHANGE;
using fw::HIWORD;
using fw::IDCANCEL;
using fw::IDNO;
using fw::IDOK;
using fw::IDYES;
using fw::LOWORD;
using fw::MAKEWPARAM;
using fw::MB_ICONINFORMATION;
using fw::MB_OK;
using fw::MB_OKCANCEL;
using fw::MB_YESNO;
using fw::MB_YESNOCANCEL;
using fw::OFN_CREATEPROMPT;
using fw::OFN_FILEMUSTEXIST;
using fw::OFN_HIDEREADONLY;
using fw::OFN_OVERWRITEPROMPT;
using fw::SW_HIDE;
using fw::SW_SHOW;
using fw::WM_CLOSE;
using fw::WM_COMMAND;
using fw::WM_TIMER;
using fw::WM_USER;
