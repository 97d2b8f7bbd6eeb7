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
        case ROLE_SYSTEM_DIALOG: return L"dialog";
        case ROLE_SYSTEM_CLIENT: return L"client";
        case ROLE_SYSTEM_WINDOW: return L"window";
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

EventLog* listening = nullptr;

const wchar_t* EventWord(DWORD event) {
    switch (event) {
        case EVENT_OBJECT_FOCUS: return L"focus";
        case EVENT_OBJECT_SELECTION: return L"selection";
        case EVENT_OBJECT_STATECHANGE: return L"state";
        case EVENT_OBJECT_VALUECHANGE: return L"value";
        case EVENT_OBJECT_NAMECHANGE: return L"name";
        case EVENT_OBJECT_SHOW: return L"show";
        case 0x8019: return L"live";  // EVENT_OBJECT_LIVEREGIONCHANGED
        case EVENT_SYSTEM_ALERT: return L"alert";
        case EVENT_SYSTEM_DIALOGSTART: return L"dialog";
        default: return nullptr;
    }
}

}  // namespace

EventLog::EventLog(DWORD process) {
    listening = this;
    hook_ = SetWinEventHook(EVENT_MIN, EVENT_MAX, nullptr, OnEvent, process, 0, WINEVENT_OUTOFCONTEXT);
}

EventLog::~EventLog() {
    if (hook_) UnhookWinEvent(hook_);
    listening = nullptr;
}

void EventLog::Pump(DWORD ms) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < ms;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

bool EventLog::HeardInOrder(const std::vector<std::wstring>& expected) const {
    size_t next = 0;
    for (const std::wstring& line : lines_)
        if (next < expected.size() && line.starts_with(expected[next])) ++next;
    return next == expected.size();
}

void CALLBACK EventLog::OnEvent(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG child, DWORD, DWORD) {
    const wchar_t* word = EventWord(event);
    // The system's own objects (caret, frames, cursor) are not what the program says.
    bool window = event == EVENT_SYSTEM_DIALOGSTART || event == EVENT_SYSTEM_ALERT;
    if (!listening || !word || (object != OBJID_CLIENT && !window)) return;
    // Its place first: reading it below lets the next events in, each reading on its own line.
    EventLog* log = listening;
    size_t slot = log->lines_.size();
    log->lines_.emplace_back();
    ComPtr<IAccessible> found;
    VARIANT id;
    VariantInit(&id);
    std::wstring line = word;
    if (SUCCEEDED(AccessibleObjectFromEvent(hwnd, static_cast<DWORD>(object), static_cast<DWORD>(child), &found, &id)) &&
        found) {
        VARIANT role;
        BSTR name = nullptr, value = nullptr;
        if (SUCCEEDED(found->get_accRole(id, &role)) && role.vt == VT_I4) line += std::wstring(L" ") + RoleWord(role.lVal);
        if (found->get_accName(id, &name) == S_OK && name) line += std::wstring(L" ") + name;
        if (event == EVENT_OBJECT_VALUECHANGE && found->get_accValue(id, &value) == S_OK && value)
            line += std::wstring(L" = ") + value;
        SysFreeString(name);
        SysFreeString(value);
    }
    VariantClear(&id);
    if (listening == log) log->lines_[slot] = line;
}

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
