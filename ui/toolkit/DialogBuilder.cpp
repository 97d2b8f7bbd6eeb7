#include "ui/toolkit/DialogBuilder.h"

#include <pugixml.hpp>

#include <cwctype>

#include "ui/toolkit/Attributes.h"
#include "ui/toolkit/Combo.h"
#include "ui/toolkit/Container.h"
#include "ui/toolkit/GifAnim.h"
#include "ui/toolkit/HorizontalLayout.h"
#include "ui/toolkit/List.h"
#include "ui/toolkit/Option.h"
#include "ui/toolkit/PaintManager.h"
#include "ui/toolkit/Progress.h"
#include "ui/toolkit/RichEdit.h"
#include "ui/toolkit/TabLayout.h"
#include "ui/toolkit/VerticalLayout.h"

namespace DuiLib {
namespace {

std::wstring Wide(const char* utf8) {
    if (!utf8 || !*utf8) return {};
    int length = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    std::wstring out(static_cast<size_t>(std::max(length, 1)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, out.data(), length);
    out.resize(wcslen(out.c_str()));
    return out;
}

bool LooksLikeXml(std::wstring_view text) {
    while (!text.empty() && (iswspace(text.front()) || text.front() == 0xFEFF)) text.remove_prefix(1);
    return !text.empty() && text.front() == L'<';
}

void AddFont(CPaintManagerUI& manager, const pugi::xml_node& node) {
    FontSpec spec;
    int id = manager.GetFontCount();
    bool isDefault = false;
    for (const pugi::xml_attribute& a : node.attributes()) {
        std::wstring name = Wide(a.name()), value = Wide(a.value());
        if (name == L"id") id = ParseInt(value, id);
        else if (name == L"name") spec.face = value;
        else if (name == L"size") spec.size = ParseInt(value, 12);
        else if (name == L"bold") spec.bold = ParseBool(value);
        else if (name == L"underline") spec.underline = ParseBool(value);
        else if (name == L"italic") spec.italic = ParseBool(value);
        else if (name == L"default") isDefault = ParseBool(value);
    }
    manager.AddFont(id, spec, isDefault);
}

CControlUI* Build(const pugi::xml_node& node, IDialogBuilderCallback* callback) {
    std::wstring className = Wide(node.name());
    CControlUI* control = CreateControlByClass(className);
    if (!control && callback) control = callback->CreateControl(className);
    if (!control) {
        OutputDebugStringW((L"layout: unknown element " + className + L"\n").c_str());
        return nullptr;
    }
    for (const pugi::xml_attribute& a : node.attributes()) control->SetAttribute(Wide(a.name()), Wide(a.value()));
    auto* container = dynamic_cast<CContainerUI*>(control);
    for (const pugi::xml_node& child : node.children()) {
        if (child.type() != pugi::node_element) continue;
        CControlUI* built = Build(child, callback);
        if (!built) continue;
        if (!container || !container->Add(built)) delete built;
    }
    return control;
}

}  // namespace

CControlUI* CreateControlByClass(std::wstring_view name) {
    if (name == L"Control") return new CControlUI;
    if (name == L"Container") return new CContainerUI;
    if (name == L"VerticalLayout") return new CVerticalLayoutUI;
    if (name == L"HorizontalLayout") return new CHorizontalLayoutUI;
    if (name == L"TabLayout") return new CTabLayoutUI;
    if (name == L"Label" || name == L"Text") return new CLabelUI;
    if (name == L"Button") return new CButtonUI;
    if (name == L"Option") return new COptionUI;
    if (name == L"Progress") return new CProgressUI;
    if (name == L"Combo") return new CComboUI;
    if (name == L"ListLabelElement") return new CListLabelElementUI;
    if (name == L"List") return new CListUI;
    if (name == L"ListHeader") return new CListHeaderUI;
    if (name == L"ListHeaderItem") return new CListHeaderItemUI;
    if (name == L"ListContainerElement") return new CListContainerElementUI;
    if (name == L"GifAnim") return new CGifAnimUI;
    if (name == L"RichEdit" || name == L"Edit") return new CRichEditUI;
    return nullptr;
}

CDialogBuilder::CDialogBuilder() = default;
CDialogBuilder::~CDialogBuilder() = default;

bool CDialogBuilder::IsLoaded() const { return document_ && document_->document_element(); }

CControlUI* CDialogBuilder::Create(std::wstring_view xmlOrFile, CPaintManagerUI* manager,
                                   IDialogBuilderCallback* callback, CControlUI* parent) {
    document_ = std::make_unique<pugi::xml_document>();
    pugi::xml_parse_result parsed;
    if (LooksLikeXml(xmlOrFile)) {
        parsed = document_->load_buffer(xmlOrFile.data(), xmlOrFile.size() * sizeof(wchar_t), pugi::parse_default,
                                        pugi::encoding_wchar);
    } else {
        std::string bytes;
        bool found = manager ? manager->LoadResourceFile(xmlOrFile, bytes) : Resources::Load(L"", xmlOrFile, bytes);
        if (!found) {
            error_ = L"layout file not found: " + std::wstring(xmlOrFile);
            document_.reset();
            return nullptr;
        }
        parsed = document_->load_buffer(bytes.data(), bytes.size());
    }
    if (!parsed) {
        error_ = L"layout XML is malformed: " + Wide(parsed.description());
        document_.reset();
        return nullptr;
    }
    return Create(manager, callback, parent);
}

CControlUI* CDialogBuilder::Create(CPaintManagerUI* manager, IDialogBuilderCallback* callback, CControlUI* parent) {
    if (!IsLoaded()) return nullptr;
    pugi::xml_node root = document_->document_element();
    pugi::xml_node controlNode = root;
    if (std::string_view(root.name()) == "Window") {
        controlNode = pugi::xml_node();
        for (const pugi::xml_node& child : root.children()) {
            if (child.type() != pugi::node_element) continue;
            std::string_view name = child.name();
            if (name == "Font") {
                if (manager) AddFont(*manager, child);
            } else if (!controlNode && name != "Default" && name != "Image" && name != "Include") {
                controlNode = child;
            }
        }
        if (manager)
            for (const pugi::xml_attribute& a : root.attributes())
                manager->SetWindowAttribute(Wide(a.name()), Wide(a.value()));
    }
    if (!controlNode) {
        error_ = L"layout has no control";
        return nullptr;
    }
    CControlUI* control = Build(controlNode, callback);
    if (!control) {
        error_ = L"layout root element is unknown";
        return nullptr;
    }
    if (auto* container = dynamic_cast<CContainerUI*>(parent)) container->Add(control);
    return control;
}

}  // namespace DuiLib
