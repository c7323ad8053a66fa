/* For installer-test.sh, under Wine: what a window of the installer says.
 *   windowtexts.exe TITLE          its title and the text of each control
 *   windowtexts.exe TITLE --next   presses its "Next" button
 *   windowtexts.exe TITLE --cancel presses its "Cancel" button
 * TITLE is part of the window's title; it is waited for up to 30 s.
 * Exit status 1 when no such window came. */
#include <windows.h>
#include <stdio.h>
#include <wchar.h>

static const wchar_t *wanted;
static HWND found;

static BOOL CALLBACK take(HWND window, LPARAM unused)
{
    wchar_t title[256];
    (void)unused;
    if (IsWindowVisible(window) && GetWindowTextW(window, title, 256) > 0
        && wcsstr(title, wanted)) {
        found = window;
        return FALSE;
    }
    return TRUE;
}

static BOOL CALLBACK print(HWND control, LPARAM unused)
{
    wchar_t text[4096];
    (void)unused;
    if (IsWindowVisible(control) && GetWindowTextW(control, text, 4096) > 0)
        printf("%ls\n", text);
    return TRUE;
}

int wmain(int argc, wchar_t **argv)
{
    if (argc < 2)
        return 2;
    wanted = argv[1];
    for (int i = 0; i < 300 && !found; ++i) {
        EnumWindows(take, 0);
        if (!found)
            Sleep(100);
    }
    if (!found)
        return 1;
    if (argc > 2) {
        /* The installer's "Next" (also "Install", "Finish") button has the
           ID 1, its "Cancel" the ID 2. */
        const int button = wcscmp(argv[2], L"--next") == 0 ? 1 : 2;
        PostMessageW(found, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), (LPARAM)GetDlgItem(found, button));
        return 0;
    }
    Sleep(500); /* the page's texts are set after its window shows */
    wchar_t title[256];
    GetWindowTextW(found, title, 256);
    printf("%ls\n", title);
    EnumChildWindows(found, print, 0);
    return 0;
}
