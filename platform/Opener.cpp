#include "platform/Opener.h"

#include <windows.h>
#include <exdisp.h>
#include <shldisp.h>
#include <shlobj.h>
#include <shlguid.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <cwctype>

#include "platform/ComInit.h"
#include "platform/Path.h"
#include "platform/Shell.h"

namespace {

wchar_t Lower(wchar_t c) { return static_cast<wchar_t>(towlower(c)); }

bool StartsWithNoCase(const std::wstring& text, const std::wstring& head) {
    if (text.size() < head.size()) return false;
    for (size_t i = 0; i < head.size(); ++i)
        if (Lower(text[i]) != Lower(head[i])) return false;
    return true;
}

// Characters a browser's command line or the shell could read as more than one address.
bool HasUnsafeCharacter(const std::wstring& address) {
    for (wchar_t c : address)
        if (c <= L' ' || c == 0x7F || c == L'"' || c == L'\\') return true;
    return false;
}

bool IsHostCharacter(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'-' ||
           c == L'.' || c == L'_' || c > 0x7F;
}

bool IsPort(const std::wstring& text) {
    if (text.empty() || text.size() > 5) return false;
    for (wchar_t c : text)
        if (c < L'0' || c > L'9') return false;
    return true;
}

// host[:port] or [v6]:port; user names are refused as they only hide the host.
bool IsAuthority(const std::wstring& authority) {
    if (authority.empty() || authority.find(L'@') != std::wstring::npos) return false;
    size_t hostEnd = authority[0] == L'[' ? authority.find(L']') : authority.find(L':');
    if (authority[0] == L'[') {
        if (hostEnd == std::wstring::npos || hostEnd < 2) return false;
        ++hostEnd;
    } else {
        if (hostEnd == std::wstring::npos) hostEnd = authority.size();
        if (hostEnd == 0) return false;
        for (size_t i = 0; i < hostEnd; ++i)
            if (!IsHostCharacter(authority[i])) return false;
    }
    if (hostEnd == authority.size()) return true;
    return authority[hostEnd] == L':' && IsPort(authority.substr(hostEnd + 1));
}

// "X:\" followed by the rest: the only paths compared here.
bool IsDrivePath(const std::wstring& path) {
    return path.size() >= 3 && iswalpha(path[0]) && path[1] == L':' && path[2] == L'\\';
}

// The absolute form with "." and ".." resolved; "" when it is not a plain drive path.
std::wstring Normalised(const std::wstring& path) {
    if (!IsDrivePath(path)) return {};
    DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return {};
    std::wstring full(size, L'\0');
    DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) return {};
    full.resize(length);
    // A second ":" names a stream, which the shell would open as its own file.
    if (!IsDrivePath(full) || full.find(L':', 2) != std::wstring::npos) return {};
    while (full.size() > 3 && full.back() == L'\\') full.pop_back();
    return full;
}

bool IsDocumentType(const std::wstring& path) {
    static const wchar_t* const kDocuments[] = {L"pdf", L"txt", L"rtf",  L"htm", L"html", L"jpg",
                                                L"jpeg", L"png", L"gif", L"bmp", L"docx", L"xlsx"};
    std::wstring name = FileName(path);
    if (name.find(L'.') == std::wstring::npos) return false;
    std::wstring extension = ExtensionLower(name);
    for (const wchar_t* document : kDocuments)
        if (extension == document) return true;
    return false;
}

using Microsoft::WRL::ComPtr;

// The shell automation object of the desktop's own Explorer (the user's, not
// elevated), reached through the desktop's view; null without a desktop shell.
ComPtr<IShellDispatch2> DesktopShell() {
    ComPtr<IShellWindows> windows;
    if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(&windows))))
        return nullptr;
    VARIANT desktopLocation{};
    desktopLocation.vt = VT_I4;
    desktopLocation.lVal = CSIDL_DESKTOP;
    VARIANT none{};
    long window = 0;
    ComPtr<IDispatch> desktop;
    if (windows->FindWindowSW(&desktopLocation, &none, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, &desktop) != S_OK ||
        !desktop)
        return nullptr;
    ComPtr<IServiceProvider> services;
    ComPtr<IShellBrowser> browser;
    ComPtr<IShellView> view;
    ComPtr<IDispatch> background;
    ComPtr<IShellFolderViewDual> folderView;
    ComPtr<IDispatch> application;
    ComPtr<IShellDispatch2> shell;
    if (FAILED(desktop.As(&services)) ||
        FAILED(services->QueryService(SID_STopLevelBrowser, IID_PPV_ARGS(&browser))) ||
        FAILED(browser->QueryActiveShellView(&view)) ||
        FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_PPV_ARGS(&background))) ||
        FAILED(background.As(&folderView)) || FAILED(folderView->get_Application(&application)) ||
        FAILED(application.As(&shell)))
        return nullptr;
    return shell;
}

// Owns a BSTR.
class Bstr {
public:
    explicit Bstr(const std::wstring& text) : text_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(text_); }
    BSTR Get() const { return text_; }

private:
    BSTR text_;
};

// Opens target with its program at the user's own level: Explorer starts it,
// so a browser or document viewer does not inherit this program's
// administrator rights. Without a desktop shell, this process's ShellExecute.
bool OpenAsUser(const std::wstring& target) {
    ComInit com;
    ComPtr<IShellDispatch2> shell = DesktopShell();
    if (!shell) return ShellOpen(target, {}) > 32;
    Bstr file(target);
    if (!file.Get()) return false;
    VARIANT none{};
    VARIANT show{};
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    // Lets what Explorer starts come to the front.
    CoAllowSetForegroundWindow(shell.Get(), nullptr);
    // S_FALSE is Wine's answer when the program could not be started.
    return shell->ShellExecute(file.Get(), none, none, none, show) == S_OK;
}

}  // namespace

bool IsWebAddress(const std::wstring& address) {
    if (HasUnsafeCharacter(address)) return false;
    size_t skip = StartsWithNoCase(address, L"http://") ? 7 : StartsWithNoCase(address, L"https://") ? 8 : 0;
    if (skip == 0) return false;
    std::wstring rest = address.substr(skip);
    return IsAuthority(rest.substr(0, rest.find_first_of(L"/?#")));
}

bool OpenWebAddress(const std::wstring& address) {
    return IsWebAddress(address) && OpenAsUser(address);
}

bool OpensAsDocument(const std::wstring& path, const std::wstring& folder) {
    std::wstring inner = Normalised(path);
    std::wstring outer = Normalised(folder);
    if (inner.empty() || outer.empty()) return false;
    if (outer.back() != L'\\') outer += L'\\';
    return inner.size() > outer.size() && StartsWithNoCase(inner, outer) && IsDocumentType(inner);
}

bool OpenDocument(const std::wstring& path, const std::wstring& folder) {
    if (OpensAsDocument(path, folder) && OpenAsUser(Normalised(path))) return true;
    return ShowInFolder(path);
}
