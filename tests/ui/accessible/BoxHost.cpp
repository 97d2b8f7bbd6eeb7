// Two message boxes, one after the other, in a process of their own, for a
// reader in another process. Exits with 10 * first result + second result.
#include <windows.h>

#include "ui/LayoutArchive.h"
#include "ui/MessageWnd.h"

int wmain() {
    if (FAILED(OleInitialize(nullptr))) return 90;
    if (!RegisterLayoutArchive(GetModuleHandleW(nullptr))) return 91;
    int first = ShowMessage(nullptr, L"已下载一个文件!", L"提示", kMessageQuestion);
    int second = ShowMessage(nullptr, L"第二个", L"提示", kMessageQuestion);
    OleUninitialize();
    return 10 * first + second;
}
