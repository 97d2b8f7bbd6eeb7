// A window's accessible objects as a screen reader walks them: the client
// object's descendants in order, each as one line "role name [states] [= value]"
// indented by depth, so that a test compares a whole window at once.
#pragma once
#include <windows.h>
#include <oleacc.h>
#include <wrl/client.h>

#include <string>
#include <vector>

namespace reader {

using Microsoft::WRL::ComPtr;

struct Node {
    int depth = 0;
    LONG role = 0;
    std::wstring name;
    std::wstring value;
    LONG state = 0;
    RECT location{};  // screen
    ComPtr<IAccessible> object;
    std::wstring Line() const;
};

// AccessibleObjectFromWindow(OBJID_CLIENT).
ComPtr<IAccessible> ClientOf(HWND window);
std::vector<Node> Read(IAccessible* root);
std::vector<std::wstring> Lines(const std::vector<Node>& nodes);
// The first node with the name, or null.
const Node* Named(const std::vector<Node>& nodes, const std::wstring& name);
VARIANT Self();
std::wstring NameOf(IAccessible* object, HRESULT* result = nullptr);

// What a reader hears from one process: its WinEvents, hooked out of context
// as a reader hooks them, each read when it arrives as a line "event role
// name [= value]" (focus, selection, state, value, name, show, live, alert,
// dialog). One log at a time; the events arrive while this thread pumps.
class EventLog {
public:
    explicit EventLog(DWORD process);
    ~EventLog();
    EventLog(const EventLog&) = delete;
    EventLog& operator=(const EventLog&) = delete;
    // Pumps until done() holds or ms pass; returns done().
    template <class F>
    bool PumpUntil(F done, DWORD ms = 20000) {
        for (DWORD start = GetTickCount(); GetTickCount() - start < ms; Pump(50))
            if (done()) return true;
        return done();
    }
    void Pump(DWORD ms);
    const std::vector<std::wstring>& Lines() const { return lines_; }
    // Whether lines starting with these come in this order (others between them).
    bool HeardInOrder(const std::vector<std::wstring>& expected) const;

private:
    static void CALLBACK OnEvent(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG child, DWORD, DWORD);
    HWINEVENTHOOK hook_ = nullptr;
    std::vector<std::wstring> lines_;
};

}  // namespace reader
