// COM initialised for the lifetime of a scope, apartment-threaded without
// OLE 1 DDE. Uninitialised only when this scope's initialisation counted, so a
// thread already in another apartment keeps its own initialisation.
#pragma once
#include <objbase.h>

class ComInit {
public:
    ComInit() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ComInit(const ComInit&) = delete;
    ComInit& operator=(const ComInit&) = delete;
    ~ComInit() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }

private:
    HRESULT result_;
};
