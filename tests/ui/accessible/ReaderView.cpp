#include "ReaderView.h"

namespace reader {
namespace {

const wchar_t* RoleWord(LONG role) {
    switch (role) {
        case ROLE_SYSTEM_PUSHBUTTON: return L"button";
        case ROLE_SYSTEM_RADIOBUTTON: return L"radio";
        case ROLE_SYSTEM_CHECKBUTTON: return L"check";
        case ROLE_SYSTEM_COMBOBOX: return L"combo";
        case ROLE_SYSTEM_LIST: return L"list";
        case ROLE_SYSTEM_LISTITEM: return L"item";
        case ROLE_SYSTEM_PROGRESSBAR: return L"progress";
        case ROLE_SYSTEM_STATICTEXT: return L"text";
        case ROLE_SYSTEM_TEXT: return L"edit";
        case ROLE_SYSTEM_PAGETABLIST: return L"tabs";
        case ROLE_SYSTEM_PROPERTYPAGE: return L"page";
        case ROLE_SYSTEM_ANIMATION: return L"animation";
        case ROLE_SYSTEM_GROUPING: return L"group";
        default: return L"?";
    }
}

std::wstring Take(BSTR text) {
    std::wstring value = text ? text : L"";
    SysFreeString(text);
    return value;
}

void ReadChildren(IAccessible* parent, int depth, std::vector<Node>& out) {
    long count = 0;
    if (FAILED(parent->get_accChildCount(&count)) || count <= 0) return;
    std::vector<VARIANT> children(count);
    long got = 0;
    if (FAILED(AccessibleChildren(parent, 0, count, children.data(), &got))) return;
    for (long i = 0; i < got; ++i) {
        ComPtr<IAccessible> child;
        if (children[i].vt == VT_DISPATCH && children[i].pdispVal)
            children[i].pdispVal->QueryInterface(IID_PPV_ARGS(&child));
        VariantClear(&children[i]);
        if (!child) continue;
        Node node;
        node.depth = depth;
        node.object = child;
        VARIANT self = Self(), role, state;
        if (SUCCEEDED(child->get_accRole(self, &role)) && role.vt == VT_I4) node.role = role.lVal;
        if (SUCCEEDED(child->get_accState(self, &state)) && state.vt == VT_I4) node.state = state.lVal;
        node.name = NameOf(child.Get());
        BSTR value = nullptr;
        if (child->get_accValue(self, &value) == S_OK) node.value = Take(value);
        long x = 0, y = 0, w = 0, h = 0;
        if (SUCCEEDED(child->accLocation(&x, &y, &w, &h, self))) node.location = RECT{x, y, x + w, y + h};
        out.push_back(node);
        ReadChildren(child.Get(), depth + 1, out);
    }
}

}  // namespace

VARIANT Self() {
    VARIANT self;
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    return self;
}

std::wstring NameOf(IAccessible* object, HRESULT* result) {
    BSTR name = nullptr;
    HRESULT hr = object->get_accName(Self(), &name);
    if (result) *result = hr;
    return Take(name);
}

std::wstring Node::Line() const {
    std::wstring line(depth * 2, L' ');
    line += RoleWord(role);
    if (!name.empty()) line += L" " + name;
    const std::pair<LONG, const wchar_t*> states[] = {
        {STATE_SYSTEM_CHECKED, L"checked"},     {STATE_SYSTEM_SELECTED, L"selected"},
        {STATE_SYSTEM_UNAVAILABLE, L"unavailable"}, {STATE_SYSTEM_INVISIBLE, L"invisible"}};
    for (const auto& [flag, word] : states)
        if (state & flag) line += std::wstring(L" [") + word + L"]";
    if (!value.empty()) line += L" = " + value;
    return line;
}

ComPtr<IAccessible> ClientOf(HWND window) {
    ComPtr<IAccessible> client;
    AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_PPV_ARGS(&client));
    return client;
}

std::vector<Node> Read(IAccessible* root) {
    std::vector<Node> nodes;
    if (root) ReadChildren(root, 0, nodes);
    return nodes;
}

std::vector<std::wstring> Lines(const std::vector<Node>& nodes) {
    std::vector<std::wstring> lines;
    for (const Node& node : nodes) lines.push_back(node.Line());
    return lines;
}

const Node* Named(const std::vector<Node>& nodes, const std::wstring& name) {
    for (const Node& node : nodes)
        if (node.name == name) return &node;
    return nullptr;
}

}  // namespace reader
