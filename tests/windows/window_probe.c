/* What the window test asks of Windows itself, run under Wine beside the
 * program:
 *   window_probe rect TITLE    the top-level window's outer bounds and its
 *                              client area on the screen:
 *                              "left top width height cleft ctop cwidth cheight"
 *   window_probe clipboard     the clipboard's text, as UTF-8
 * Exit code 1 when there is no such window or no text. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <stdio.h>
#include <string.h>

static int rect(const wchar_t* title)
{
    HWND window = FindWindowW(NULL, title);
    if (!window || !IsWindowVisible(window))
        return 1;
    RECT outer, client;
    POINT origin = {0, 0};
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    ClientToScreen(window, &origin);
    printf("%ld %ld %ld %ld %ld %ld %ld %ld\n", outer.left, outer.top, outer.right - outer.left,
           outer.bottom - outer.top, origin.x, origin.y, client.right, client.bottom);
    return 0;
}

static int clipboard(void)
{
    int status = 1;
    if (!OpenClipboard(NULL))
        return 1;
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    const wchar_t* text = data ? GlobalLock(data) : NULL;
    if (text) {
        int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, NULL, 0, NULL, NULL);
        char* utf8 = size > 0 ? HeapAlloc(GetProcessHeap(), 0, (SIZE_T)size) : NULL;
        if (utf8 && WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, size, NULL, NULL) > 0) {
            fwrite(utf8, 1, strlen(utf8), stdout);
            status = 0;
        }
        GlobalUnlock(data);
    }
    CloseClipboard();
    return status;
}

int wmain(int argc, wchar_t** argv)
{
    if (argc == 3 && wcscmp(argv[1], L"rect") == 0)
        return rect(argv[2]);
    if (argc == 2 && wcscmp(argv[1], L"clipboard") == 0)
        return clipboard();
    fputs("usage: window_probe rect TITLE | clipboard\n", stderr);
    return 2;
}
