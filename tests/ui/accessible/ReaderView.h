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

}  // namespace reader
