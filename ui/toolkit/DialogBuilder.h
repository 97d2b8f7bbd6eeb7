// Builds a control tree from layout XML: a file from the resources or XML
// text (anything starting with '<'). A `Window` root also configures the
// window (size, caption, corners, shadow, fonts); any other root element is
// built as a single control, which is how row templates are made.
//
// Elements: Window, Font, VerticalLayout, HorizontalLayout, TabLayout,
// Container, Control, Label (Text), Button, Option, Progress, Combo,
// ListLabelElement, List, ListHeader, ListHeaderItem, ListContainerElement,
// GifAnim, RichEdit (Edit). Unknown elements are asked of the callback.
#pragma once
#include <memory>
#include <string_view>

#include "ui/toolkit/Control.h"

namespace pugi {
class xml_document;
}

namespace DuiLib {

class CPaintManagerUI;

class IDialogBuilderCallback {
public:
    // A control for an element the toolkit does not know, or nullptr.
    virtual CControlUI* CreateControl(std::wstring_view className) = 0;

protected:
    ~IDialogBuilderCallback() = default;
};

class CDialogBuilder {
public:
    CDialogBuilder();
    ~CDialogBuilder();

    // nullptr when the file is missing or the XML is malformed. The document
    // stays loaded, so Create() without a file builds the same tree again.
    CControlUI* Create(std::wstring_view xmlOrFile, CPaintManagerUI* manager = nullptr,
                       IDialogBuilderCallback* callback = nullptr, CControlUI* parent = nullptr);
    CControlUI* Create(CPaintManagerUI* manager = nullptr, IDialogBuilderCallback* callback = nullptr,
                       CControlUI* parent = nullptr);
    bool IsLoaded() const;
    // Why the last Create failed, for diagnostics.
    const CDuiString& GetLastError() const { return error_; }

private:
    std::unique_ptr<pugi::xml_document> document_;
    CDuiString error_;
};

// The control for an element name, or nullptr when unknown.
CControlUI* CreateControlByClass(std::wstring_view className);

}  // namespace DuiLib
