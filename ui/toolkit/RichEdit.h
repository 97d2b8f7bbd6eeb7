// A text entry, by default multi-line, hosting the system EDIT control as a
// child window. The control keeps the text while the window does not exist
// and shows, moves and hides the child with itself. Sends "textchanged".
#pragma once
#include "ui/toolkit/GdiHandles.h"
#include "ui/toolkit/Label.h"

namespace DuiLib {

class CRichEditUI : public CLabelUI {
public:
    CRichEditUI();
    ~CRichEditUI() override;
    CDuiString GetClass() const override { return L"RichEdit"; }

    CDuiString GetText() const override;
    void SetText(std::wstring_view text) override;
    bool IsMultiLine() const { return multiLine_; }
    void SetMultiLine(bool multiLine);
    bool IsReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly);
    void SetLimitText(int limit);
    HWND GetHostWindow() const { return edit_; }

    void DoInit() override;
    void DoEvent(TEventUI& event) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;
    // Places and shows the EDIT window to match the control; the paint
    // manager calls it after every layout.
    void SyncHostWindow();
    // WM_CTLCOLOREDIT/WM_CTLCOLORSTATIC of the hosted window.
    HBRUSH OnCtlColor(HDC dc);
    // EN_CHANGE of the hosted window.
    void OnHostChanged();

protected:
    void PaintText(const Canvas& canvas, const RECT& clip) override;

private:
    void CreateHost();
    RECT HostRect() const;

    HWND edit_ = nullptr;
    HFONT hostFont_ = nullptr;
    bool multiLine_ = true;
    bool readOnly_ = false;
    int limit_ = 0;
    UniqueBrush brush_;
    DWORD brushColor_ = 0;
    bool settingText_ = false;
};

}  // namespace DuiLib
