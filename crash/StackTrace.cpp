#include <algorithm>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <cwchar>

#include "crash/CrashContext.h"
#include "platform/Path.h"
#include "platform/VersionInfo.h"

namespace Crash {
namespace {

// A general register: its CodeView number, as dbghelp reports locations, and
// its place in the thread's context.
struct Register {
    ULONG number;
    size_t offset;
};

#ifdef _WIN64
constexpr DWORD kMachine = IMAGE_FILE_MACHINE_AMD64;
constexpr ULONG kFramePointer = 334;
constexpr Register kRegisters[] = {
    {328, offsetof(CONTEXT, Rax)}, {329, offsetof(CONTEXT, Rbx)}, {330, offsetof(CONTEXT, Rcx)},
    {331, offsetof(CONTEXT, Rdx)}, {332, offsetof(CONTEXT, Rsi)}, {333, offsetof(CONTEXT, Rdi)},
    {334, offsetof(CONTEXT, Rbp)}, {335, offsetof(CONTEXT, Rsp)}, {336, offsetof(CONTEXT, R8)},
    {337, offsetof(CONTEXT, R9)},  {338, offsetof(CONTEXT, R10)}, {339, offsetof(CONTEXT, R11)},
    {340, offsetof(CONTEXT, R12)}, {341, offsetof(CONTEXT, R13)}, {342, offsetof(CONTEXT, R14)},
    {343, offsetof(CONTEXT, R15)}};
ULONG_PTR ProgramCounter(const CONTEXT& c) { return c.Rip; }
#else
constexpr DWORD kMachine = IMAGE_FILE_MACHINE_I386;
constexpr ULONG kFramePointer = 22;
constexpr Register kRegisters[] = {
    {17, offsetof(CONTEXT, Eax)}, {18, offsetof(CONTEXT, Ecx)}, {19, offsetof(CONTEXT, Edx)},
    {20, offsetof(CONTEXT, Ebx)}, {21, offsetof(CONTEXT, Esp)}, {22, offsetof(CONTEXT, Ebp)},
    {23, offsetof(CONTEXT, Esi)}, {24, offsetof(CONTEXT, Edi)}};
ULONG_PTR ProgramCounter(const CONTEXT& c) { return c.Eip; }
#endif
// Addresses in the trace are as wide as the crashed program's pointers.
constexpr int kAddressDigits = 2 * sizeof(void*);
constexpr int kStringChars = 99;
// Basic types and the typedef tag of the debug interface access SDK.
constexpr DWORD btChar = 2, btWChar = 3, btInt = 6, btUInt = 7, btFloat = 8, btLong = 13, btULong = 14;
constexpr DWORD kSymTagPointer = 14, kSymTagBase = 16, kSymTagTypedef = 17;

const Register* FindRegister(ULONG number) {
    for (const Register& r : kRegisters)
        if (r.number == number) return &r;
    return nullptr;
}

// A frame's registers as the walk left them. The walked context belongs to
// the frame only while its program counter is the frame's; otherwise only
// the frame pointer of the walk is known.
struct FrameRegisters {
    const CONTEXT* context = nullptr;
    ULONG_PTR framePointer = 0;

    bool Get(ULONG number, ULONG_PTR* value) const {
        if (number == kFramePointer && !context) return (*value = framePointer), true;
        const Register* r = FindRegister(number);
        if (!r || !context) return false;
        memcpy(value, reinterpret_cast<const BYTE*>(context) + r->offset, sizeof(*value));
        return true;
    }
};

FrameRegisters RegistersOf(const CrashContext& crash) {
    FrameRegisters r;
    r.framePointer = static_cast<ULONG_PTR>(crash.stackFrame.AddrFrame.Offset);
    if (ProgramCounter(*crash.context) == crash.stackFrame.AddrPC.Offset) r.context = crash.context;
    return r;
}

struct PrintScope {
    CrashContext* crash;
    FrameRegisters registers;
};

bool Read(const CrashContext& crash, DWORD64 address, void* out, size_t size) {
    SIZE_T read = 0;
    return ReadProcessMemory(crash.process, reinterpret_cast<void*>(static_cast<ULONG_PTR>(address)),
                             out, size, &read) &&
           read == size;
}

bool TypeInfo(const CrashContext& crash, DWORD64 base, ULONG type, IMAGEHLP_SYMBOL_TYPE_INFO what,
              void* out) {
    return SymGetTypeInfo(crash.process, base, type, what, out);
}

// Follows typedefs to the type that says how to print.
ULONG Underlying(const CrashContext& crash, DWORD64 base, ULONG type) {
    for (int i = 0; i < 16; ++i) {
        DWORD tag = 0;
        ULONG next = 0;
        if (!TypeInfo(crash, base, type, TI_GET_SYMTAG, &tag) || tag != kSymTagTypedef ||
            !TypeInfo(crash, base, type, TI_GET_TYPEID, &next))
            break;
        type = next;
    }
    return type;
}

// Up to 99 characters of a string in the crashed process, quoted.
template <typename Char>
void AppendString(CrashContext& crash, DWORD64 address, const wchar_t* open) {
    AppendTraceFormat(crash, L"%ls", open);
    for (int i = 0;; ++i) {
        Char c = 0;
        if (!Read(crash, address + i * sizeof(Char), &c, sizeof(c))) {
            AppendTraceFormat(crash, L"<Bad memory>");
            break;
        }
        if (c == 0) break;
        if (i == kStringChars) {
            AppendTraceFormat(crash, L"...");
            break;
        }
        // Bytes are shown as Latin-1: a crash report must not depend on a code page.
        wchar_t w = static_cast<wchar_t>(static_cast<std::make_unsigned_t<Char>>(c));
        AppendTrace(crash, &w, 1);
    }
    AppendTraceFormat(crash, L"\"");
}

// A base type at address; false when its kind or length is not printed.
bool AppendBase(CrashContext& crash, DWORD64 base, ULONG type, DWORD64 address, bool throughPointer) {
    DWORD kind = 0;
    ULONG64 length = 0;
    if (!TypeInfo(crash, base, type, TI_GET_BASETYPE, &kind) ||
        !TypeInfo(crash, base, type, TI_GET_LENGTH, &length))
        return false;
    if (kind == btChar && length == 1 && throughPointer) {
        AppendString<char>(crash, address, L"\"");
        return true;
    }
    if (kind == btWChar && length == 2 && throughPointer) {
        AppendString<wchar_t>(crash, address, L"L\"");
        return true;
    }
    unsigned char bytes[8] = {};
    if (length == 0 || length > 8 || !Read(crash, address, bytes, static_cast<size_t>(length))) return false;
    auto sign = [&](int64_t v) { AppendTraceFormat(crash, L"%I64d", v); };
    auto unsign = [&](uint64_t v) { AppendTraceFormat(crash, L"%I64u", v); };
    switch (kind) {
        case btChar:
            if (length != 1) return false;
            AppendTraceFormat(crash, L"'%lc'", static_cast<wchar_t>(bytes[0]));
            return true;
        case btWChar:
            if (length != 2) return false;
            AppendTraceFormat(crash, L"'%lc'", *reinterpret_cast<wchar_t*>(bytes));
            return true;
        case btInt:
        case btLong:
            switch (length) {
                case 1: sign(*reinterpret_cast<int8_t*>(bytes)); return true;
                case 2: sign(*reinterpret_cast<int16_t*>(bytes)); return true;
                case 4: sign(*reinterpret_cast<int32_t*>(bytes)); return true;
                case 8: sign(*reinterpret_cast<int64_t*>(bytes)); return true;
            }
            return false;
        case btUInt:
        case btULong:
            switch (length) {
                case 1: unsign(bytes[0]); return true;
                case 2: unsign(*reinterpret_cast<uint16_t*>(bytes)); return true;
                case 4: unsign(*reinterpret_cast<uint32_t*>(bytes)); return true;
                case 8: unsign(*reinterpret_cast<uint64_t*>(bytes)); return true;
            }
            return false;
        case btFloat:
            if (length != 4) return false;
            AppendTraceFormat(crash, L"%f", static_cast<double>(*reinterpret_cast<float*>(bytes)));
            return true;
    }
    return false;
}

// Whether the pointee's whole length lies in the regions from pointer on.
bool Reachable(const CrashContext& crash, ULONG_PTR pointer, ULONG64 length) {
    DWORD64 address = pointer;
    MEMORY_BASIC_INFORMATION region;
    while (VirtualQueryEx(crash.process, reinterpret_cast<void*>(static_cast<ULONG_PTR>(address)),
                          &region, sizeof(region)) == sizeof(region)) {
        DWORD64 end = reinterpret_cast<ULONG_PTR>(region.BaseAddress) + region.RegionSize;
        if (end > pointer + length) return true;
        if (end <= address) return false;
        address = end;
    }
    return false;
}

// What a pointer of type points to, when it is a base type in reach; false
// when nothing was printed.
bool AppendPointee(CrashContext& crash, DWORD64 base, ULONG type, ULONG_PTR pointer) {
    ULONG pointee = 0;
    ULONG64 length = 0;
    DWORD tag = 0;
    if (pointer < 4096 || !TypeInfo(crash, base, type, TI_GET_TYPEID, &pointee)) return false;
    pointee = Underlying(crash, base, pointee);
    // A function type has no length.
    return TypeInfo(crash, base, pointee, TI_GET_LENGTH, &length) && Reachable(crash, pointer, length) &&
           TypeInfo(crash, base, pointee, TI_GET_SYMTAG, &tag) && tag == kSymTagBase &&
           AppendBase(crash, base, pointee, pointer, true);
}

// False when nothing could be printed (the caller appends "?").
bool AppendValue(CrashContext& crash, DWORD64 base, ULONG type, DWORD64 address) {
    type = Underlying(crash, base, type);
    DWORD tag = 0;
    if (!TypeInfo(crash, base, type, TI_GET_SYMTAG, &tag)) return false;
    if (tag == kSymTagBase) return AppendBase(crash, base, type, address, false);
    if (tag != kSymTagPointer) return false;
    ULONG_PTR pointer = 0;
    if (!Read(crash, address, &pointer, sizeof(pointer))) return false;
    AppendTraceFormat(crash, L"0x%0*I64X -> ", kAddressDigits, static_cast<DWORD64>(pointer));
    if (!AppendPointee(crash, base, type, pointer)) AppendTraceFormat(crash, L"?");
    return true;
}

// Where a parameter's value lies in the crashed process; 0 with a message
// appended when it cannot be told.
DWORD64 Locate(PrintScope& scope, const SYMBOL_INFOW& symbol) {
    CrashContext& crash = *scope.crash;
    ULONG_PTR value = 0;
    // Wine's dbghelp reports a location it could not work out as a negative register.
    if ((symbol.Flags & (SYMFLAG_REGISTER | SYMFLAG_REGREL)) && static_cast<LONG>(symbol.Register) < 0)
        return AppendTraceFormat(crash, L"?"), 0;
    if (symbol.Flags & SYMFLAG_REGISTER) {
        if (!FindRegister(symbol.Register)) {
            AppendTraceFormat(crash, L"<Unknown register %lu>", symbol.Register);
            return 0;
        }
        if (!crash.scratch) {
            AppendTraceFormat(crash, L"<Could not allocate memory to write register value>");
            return 0;
        }
        SIZE_T written = 0;
        if (!scope.registers.Get(symbol.Register, &value) ||
            !WriteProcessMemory(crash.process, crash.scratch, &value, sizeof(value), &written))
            return AppendTraceFormat(crash, L"?"), 0;
        return reinterpret_cast<ULONG_PTR>(crash.scratch);
    }
    if (symbol.Flags & SYMFLAG_REGREL) {
        if (!FindRegister(symbol.Register)) {
            AppendTraceFormat(crash, L"<Relative to unknown register %lu>", symbol.Register);
            return 0;
        }
        if (!scope.registers.Get(symbol.Register, &value)) return AppendTraceFormat(crash, L"?"), 0;
        return static_cast<ULONG_PTR>(value + symbol.Address);
    }
    return static_cast<ULONG_PTR>(crash.stackFrame.AddrFrame.Offset + symbol.Address);
}

BOOL CALLBACK PrintParameter(PSYMBOL_INFOW symbol, ULONG, PVOID user) {
    auto& scope = *static_cast<PrintScope*>(user);
    CrashContext& crash = *scope.crash;
    if (!(symbol->Flags & SYMFLAG_PARAMETER)) return TRUE;
    if (!crash.firstParameter) AppendTraceFormat(crash, L", ");
    crash.firstParameter = false;
    // NameLen may exceed what MaxNameLen let through.
    AppendTraceFormat(crash, L"%.*ls = ", static_cast<int>(std::min<ULONG>(symbol->NameLen, 255)), symbol->Name);
    DWORD64 address = Locate(scope, *symbol);
    if (address && !AppendValue(crash, symbol->ModBase, symbol->TypeIndex, address))
        AppendTraceFormat(crash, L"?");
    return TRUE;
}

// The GUID and age of the module's CodeView record, which "--build-id"
// writes and stripping keeps, in the form symbol stores file it under; ""
// without one.
std::wstring BuildId(const CrashContext& crash, DWORD64 base) {
    IMAGE_DOS_HEADER dos;
    IMAGE_NT_HEADERS nt;
    if (!Read(crash, base, &dos, sizeof(dos)) || dos.e_magic != IMAGE_DOS_SIGNATURE ||
        !Read(crash, base + dos.e_lfanew, &nt, sizeof(nt)) || nt.Signature != IMAGE_NT_SIGNATURE)
        return L"";
    const IMAGE_DATA_DIRECTORY& debug = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_DEBUG];
    for (DWORD i = 0; i < std::min<DWORD>(debug.Size / sizeof(IMAGE_DEBUG_DIRECTORY), 16); ++i) {
        IMAGE_DEBUG_DIRECTORY entry;
        struct {
            DWORD signature;
            GUID guid;
            DWORD age;
        } record;
        if (!Read(crash, base + debug.VirtualAddress + i * sizeof(entry), &entry, sizeof(entry)) ||
            entry.Type != IMAGE_DEBUG_TYPE_CODEVIEW || entry.SizeOfData < sizeof(record) ||
            !Read(crash, base + entry.AddressOfRawData, &record, sizeof(record)) || record.signature != 0x53445352)
            continue;  // not "RSDS"
        const GUID& g = record.guid;
        wchar_t text[64];
        swprintf(text, std::size(text), L"%08lX%04X%04X%02X%02X%02X%02X%02X%02X%02X%02X%lX", g.Data1, g.Data2,
                 g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
                 g.Data4[7], record.age);
        return text;
    }
    return L"";
}

// The file the module was loaded from, which dbghelp may name in either field.
const wchar_t* ImagePath(const IMAGEHLP_MODULEW64& module) {
    return module.ImageName[0] ? module.ImageName : module.LoadedImageName;
}

BOOL CALLBACK AppendModule(PCWSTR, DWORD64 base, PVOID user) {
    auto& crash = *static_cast<CrashContext*>(user);
    IMAGEHLP_MODULEW64 module = {};
    module.SizeOfStruct = sizeof(module);
    if (!SymGetModuleInfoW64(crash.process, base, &module)) return TRUE;
    const wchar_t* path = ImagePath(module);
    VersionInfo version;
    std::wstring versionText = version.Load(path) ? version.VersionText() : L"-";
    std::wstring buildId = BuildId(crash, base);
    AppendTraceFormat(crash, L"0x%0*I64X 0x%08lX %ls %ls %ls\n", kAddressDigits, base, module.ImageSize,
                      versionText.c_str(), buildId.empty() ? L"-" : buildId.c_str(), path);
    return TRUE;
}

// "[name+0xoffset] " of the module holding address, which resolves later
// against that build's debug information; "[?] " outside every module.
void AppendModuleOffset(CrashContext& crash, DWORD64 address) {
    IMAGEHLP_MODULEW64 module = {};
    module.SizeOfStruct = sizeof(module);
    if (!SymGetModuleInfoW64(crash.process, address, &module)) return AppendTraceFormat(crash, L"[?] ");
    AppendTraceFormat(crash, L"[%ls+0x%I64X] ", FileName(ImagePath(module)).c_str(),
                      address - module.BaseOfImage);
}

// n counts from 0 at the faulting frame. A caller's program counter is the
// return address, which may already be the next statement or even the next
// function; its name, line and parameters are those of the call before it.
void AppendFrame(CrashContext& crash, int n, SYMBOL_INFOW* symbol) {
    DWORD64 pc = crash.stackFrame.AddrPC.Offset;
    DWORD64 at = n > 0 && pc > 0 ? pc - 1 : pc;
    DWORD64 displacement = 0;
    bool named = SymFromAddrW(crash.process, at, &displacement, symbol);
    AppendTraceFormat(crash, L">%02i: 0x%0*I64X ", n, kAddressDigits, named ? symbol->Address : pc);
    AppendModuleOffset(crash, at);
    if (!named) return AppendTraceFormat(crash, L"?\n");
    AppendTraceFormat(crash, L"%.*ls (", static_cast<int>(std::min<ULONG>(symbol->NameLen, symbol->MaxNameLen - 1)),
                      symbol->Name);
    // Locations are those valid at the call (or the fault).
    IMAGEHLP_STACK_FRAME scopeFrame = {};
    scopeFrame.InstructionOffset = at;
    scopeFrame.FrameOffset = crash.stackFrame.AddrFrame.Offset;
    scopeFrame.StackOffset = crash.stackFrame.AddrStack.Offset;
    if (SymSetContext(crash.process, &scopeFrame, nullptr) || GetLastError() == ERROR_SUCCESS) {
        crash.firstParameter = true;
        PrintScope scope{&crash, RegistersOf(crash)};
        SymEnumSymbolsW(crash.process, 0, nullptr, PrintParameter, &scope);
    }
    AppendTraceFormat(crash, L")");
    IMAGEHLP_LINEW64 line = {};
    line.SizeOfStruct = sizeof(line);
    DWORD column = 0;
    if (SymGetLineFromAddrW64(crash.process, at, &column, &line))
        AppendTraceFormat(crash, L" at %ls:%lu", line.FileName, line.LineNumber);
    AppendTraceFormat(crash, L"\n");
}

}  // namespace

void AppendTrace(CrashContext& crash, const wchar_t* text, size_t length) {
    size_t room = static_cast<size_t>(kTraceChars - 1 - crash.traceLength);
    if (length > room) length = room;
    wmemcpy(crash.traceText + crash.traceLength, text, length);
    crash.traceLength += static_cast<int>(length);
    crash.traceText[crash.traceLength] = L'\0';
}

void AppendTraceFormat(CrashContext& crash, const wchar_t* format, ...) {
    wchar_t piece[4096];
    va_list args;
    va_start(args, format);
    int n = _vsnwprintf(piece, std::size(piece), format, args);
    va_end(args);
    // A piece longer than the buffer keeps what fitted (the runtime may or
    // may not have ended it with a NUL).
    size_t length = n < 0 || static_cast<size_t>(n) >= std::size(piece) ? std::size(piece) - 1 : static_cast<size_t>(n);
    AppendTrace(crash, piece, length);
}

void StartWalk(CrashContext& crash, CONTEXT* context) {
    crash.context = context;
    crash.stackFrame = {};
#ifdef _WIN64
    crash.stackFrame.AddrPC = {context->Rip, 0, AddrModeFlat};
    crash.stackFrame.AddrFrame = {context->Rbp, 0, AddrModeFlat};
    crash.stackFrame.AddrStack = {context->Rsp, 0, AddrModeFlat};
#else
    crash.stackFrame.AddrPC = {context->Eip, 0, AddrModeFlat};
    crash.stackFrame.AddrFrame = {context->Ebp, 0, AddrModeFlat};
    crash.stackFrame.AddrStack = {context->Esp, 0, AddrModeFlat};
#endif
}

void BuildStackTrace(CrashContext& crash) {
    alignas(SYMBOL_INFOW) unsigned char buffer[600] = {};
    auto* symbol = reinterpret_cast<SYMBOL_INFOW*>(buffer);
    AppendTraceFormat(crash, L"Modules (base, size, version, build id, path):\n");
    SymEnumerateModulesW64(crash.process, AppendModule, &crash);
    AppendTraceFormat(crash, L"\n");
    DWORD64 stackPointer = 0;
    for (int n = 0; n < kMaxFrames; ++n) {
        symbol->SizeOfStruct = sizeof(SYMBOL_INFOW);
        symbol->MaxNameLen = 255;
        if (!StackWalk64(kMachine, crash.process, crash.thread, &crash.stackFrame, crash.context,
                         nullptr, SymFunctionTableAccess64, SymGetModuleBase64, nullptr))
            break;
        // Each caller's frame lies above its callee's; a chain that does not
        // climb (one pointing at itself, say) would never end.
        if (n > 0 && crash.stackFrame.AddrStack.Offset <= stackPointer) break;
        stackPointer = crash.stackFrame.AddrStack.Offset;
        AppendFrame(crash, n, symbol);
    }
}

}  // namespace Crash
