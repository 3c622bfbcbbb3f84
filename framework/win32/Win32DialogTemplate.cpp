#include "framework/win32/Win32DialogTemplate.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>

#include "framework/win32/Win32Host.h"

namespace fw::win32 {
namespace {

// The template is a run of WORDs whose items start on DWORD boundaries.
class TemplateWriter {
public:
    void Word(WORD value) { words_.push_back(value); }
    void Dword(DWORD value) {
        Word(static_cast<WORD>(value & 0xFFFFu));
        Word(static_cast<WORD>(value >> 16));
    }
    void Short(int value) { Word(static_cast<WORD>(static_cast<short>(value))); }
    void Text(const std::wstring& text) {
        for (wchar_t ch : text) {
            Word(static_cast<WORD>(ch));
        }
        Word(0);
    }
    void Ordinal(WORD value) {
        Word(0xFFFF);
        Word(value);
    }
    void AlignDword() {
        if (words_.size() % 2 != 0) {
            Word(0);
        }
    }
    std::vector<DWORD> Dwords() {
        AlignDword();
        std::vector<DWORD> out(words_.size() / 2);
        std::memcpy(out.data(), words_.data(), words_.size() * sizeof(WORD));
        return out;
    }

private:
    std::vector<WORD> words_;
};

constexpr WORD kButtonAtom = 0x0080;
constexpr WORD kEditAtom = 0x0081;
constexpr WORD kStaticAtom = 0x0082;
constexpr WORD kComboBoxAtom = 0x0085;

// A template flag and the window style it stands for.
struct StyleBit {
    unsigned flag;
    DWORD style;
};

DWORD StylesOf(unsigned style, std::initializer_list<StyleBit> bits) {
    DWORD s = 0;
    for (const StyleBit& bit : bits) {
        if ((style & bit.flag) != 0) {
            s |= bit.style;
        }
    }
    return s;
}

DWORD CommonStyle(unsigned style) {
    const DWORD visible = (style & kHidden) == 0 ? WS_VISIBLE : 0;
    return WS_CHILD | visible |
           StylesOf(style, {{kDisabled, WS_DISABLED},
                            {kTabStop, WS_TABSTOP},
                            {kGroup, WS_GROUP},
                            {kBorder, WS_BORDER},
                            {kVScroll, WS_VSCROLL}});
}

DWORD EditStyle(unsigned style) {
    return ES_LEFT | StylesOf(style, {{kAutoHScroll, ES_AUTOHSCROLL},
                                      {kAutoVScroll, ES_AUTOVSCROLL},
                                      {kReadOnly, ES_READONLY},
                                      {kMultiLine, ES_MULTILINE},
                                      {kNumber, ES_NUMBER},
                                      {kPassword, ES_PASSWORD}});
}

// An icon control's caption names its icon resource by number.
WORD IconOrdinal(const std::string& caption) {
    const long value = std::strtol(caption.c_str(), nullptr, 10);
    return value > 0 && value < 0x10000 ? static_cast<WORD>(value) : 128;
}

void WriteControl(TemplateWriter& w, const ControlTemplate& c) {
    DWORD style = CommonStyle(c.style);
    // A standard class by its atom, the others by name.
    WORD atom = kStaticAtom;
    const wchar_t* className = nullptr;
    switch (c.kind) {
        case ControlKind::Static:
            // Device text shows as it is: an ampersand is no mnemonic.
            style |= SS_LEFT | SS_NOPREFIX;
            break;
        case ControlKind::Edit:
            style |= EditStyle(c.style);
            atom = kEditAtom;
            break;
        case ControlKind::RichEdit:
            style |= EditStyle(c.style);
            className = RichEditClassName();
            break;
        case ControlKind::PushButton:
            style |= (c.style & kDefaultButton) != 0 ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
            atom = kButtonAtom;
            break;
        case ControlKind::CheckBox:
            style |= BS_AUTOCHECKBOX;
            atom = kButtonAtom;
            break;
        case ControlKind::RadioButton:
            // Checks itself and unchecks the rest of its WS_GROUP run.
            style |= BS_AUTORADIOBUTTON;
            atom = kButtonAtom;
            break;
        case ControlKind::ComboBox:
            // The template's height is the dropped-down list's.
            style |= CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL;
            atom = kComboBoxAtom;
            break;
        case ControlKind::ProgressBar:
            className = PROGRESS_CLASSW;
            break;
        case ControlKind::Icon:
            style |= SS_ICON;
            break;
    }

    w.AlignDword();
    w.Dword(0);  // help ID
    w.Dword(0);  // extended style
    w.Dword(style);
    w.Short(c.rect.x);
    w.Short(c.rect.y);
    w.Short(c.rect.width);
    w.Short(c.rect.height);
    w.Dword(static_cast<DWORD>(c.id));
    if (className != nullptr) {
        w.Text(className);
    } else {
        w.Ordinal(atom);
    }
    if (c.kind == ControlKind::Icon) {
        w.Ordinal(IconOrdinal(c.caption));
    } else {
        w.Text(Widen(c.caption));
    }
    w.Word(0);  // no creation data
}

}  // namespace

std::vector<DWORD> BuildDialogTemplateEx(const DialogTemplate& t, TemplateUse use) {
    InitWin32Controls();
    DWORD style = DS_SETFONT;
    if (use == TemplateUse::Modal) {
        style |= WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    } else {
        // DS_CONTROL: Tab moves on from the form into its controls as one
        // dialog with the window around it.
        style |= WS_CHILD | DS_CONTROL;
    }

    TemplateWriter w;
    w.Word(1);       // dlgVer
    w.Word(0xFFFF);  // signature: DLGTEMPLATEEX
    w.Dword(0);      // help ID
    w.Dword(0);      // extended style
    w.Dword(style);
    w.Word(static_cast<WORD>(t.controls.size()));
    w.Short(0);
    w.Short(0);
    w.Short(t.width);
    w.Short(t.height);
    w.Word(0);  // no menu
    w.Word(0);  // the dialog class
    w.Text(Widen(t.caption));
    w.Word(static_cast<WORD>(t.fontPoints));
    w.Word(FW_NORMAL);
    w.Word(static_cast<WORD>(DEFAULT_CHARSET << 8));  // italic: 0, charset
    w.Text(Widen(t.fontFace));
    for (const auto& c : t.controls) {
        WriteControl(w, c);
    }
    return w.Dwords();
}

}  // namespace fw::win32
