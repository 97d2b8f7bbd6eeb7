// The one way from the programs to the desktop shell for anything the service
// or a download names: only web addresses reach the browser and only
// documents in the save folder are opened; nothing else is started.
// Fixer runs as administrator, so what is opened is started by the desktop's
// own Explorer (IShellWindows' desktop view, IShellDispatch2::ShellExecute) at
// the user's level; only without a desktop shell by this process itself.
// COM is initialised on the calling thread for each call (ComInit).
#pragma once
#include <string>

// An absolute http:// or https:// address with a host, and no spaces, quotes,
// backslashes or control characters that a browser's command line could split on.
bool IsWebAddress(const std::wstring& address);
// Hands address to the browser when it IsWebAddress; false when refused or the
// shell failed, and then nothing was opened.
bool OpenWebAddress(const std::wstring& address);

// Whether OpenDocument opens path rather than showing it: path, fully
// normalised, lies inside drive folder (no ".." escape, no other drive, no UNC
// or device path, no stream name) and is one of the document types .pdf .txt
// .rtf .htm .html .jpg .jpeg .png .gif .bmp .docx .xlsx (nothing that runs,
// carries macros or points elsewhere, as .url and .lnk do).
bool OpensAsDocument(const std::wstring& path, const std::wstring& folder);
// Opens path with its program when OpensAsDocument; otherwise, or when that
// fails, shows it in its folder. Whether either worked.
bool OpenDocument(const std::wstring& path, const std::wstring& folder);
