#include "app/win32/FrameClass.h"

#include "app/win32/LargeToolBar.h"
#include "res/ResourceIds.h"

namespace app::win32 {

bool RegisterFrameClass(const wchar_t* name, WNDPROC procedure, HCURSOR cursor, HBRUSH background) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(ResourceModule(), name, &existing)) {
        return true;
    }
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = ResourceModule();
    windowClass.hIcon = LoadIconW(ResourceModule(), MAKEINTRESOURCEW(res::IDR_MAINFRAME));
    windowClass.hIconSm = static_cast<HICON>(
        LoadImageW(ResourceModule(), MAKEINTRESOURCEW(res::IDR_MAINFRAME), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    windowClass.hCursor = cursor;
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = name;
    return RegisterClassExW(&windowClass) != 0;
}

}  // namespace app::win32
