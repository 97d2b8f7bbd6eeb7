#include "core/MachineId.h"

// clang-format off
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
// clang-format on
#include <cpuid.h>

#include <algorithm>
#include <vector>

namespace {

// One adapter record as Windows' own headers size it (64-bit time_t); MinGW's
// record is 640 bytes, so one fits either way.
constexpr ULONG kOneAdapterBytes = 648;

std::uint16_t Words(std::uint32_t value) { return static_cast<std::uint16_t>((value & 0xFFFF) + (value >> 16)); }

// The adapter records, chained by Next from the front of the buffer; empty
// when the query fails, including after its one retry with the size it asked for.
class AdapterList {
public:
    AdapterList() {
        ULONG size = kOneAdapterBytes;
        DWORD status = Query(size);
        if (status == ERROR_BUFFER_OVERFLOW) status = Query(size);
        if (status != NO_ERROR) buffer_.clear();
    }
    const IP_ADAPTER_INFO* First() const {
        return buffer_.empty() ? nullptr : reinterpret_cast<const IP_ADAPTER_INFO*>(buffer_.data());
    }

private:
    DWORD Query(ULONG& size) {
        buffer_.assign((size + 7) / 8, 0);  // 8-byte units keep the records aligned
        return GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer_.data()), &size);
    }
    std::vector<std::uint64_t> buffer_;
};

std::uint16_t SumOf(const IP_ADAPTER_INFO& adapter) {
    return AddressSum(adapter.Address, std::min<std::size_t>(adapter.AddressLength, MAX_ADAPTER_ADDRESS_LENGTH));
}

void ReadAdapters(MachineFacts& facts) {
    AdapterList adapters;
    const IP_ADAPTER_INFO* first = adapters.First();
    if (!first) return;
    facts.adaptersRead = true;
    std::uint16_t a = SumOf(*first);
    std::uint16_t b = first->Next ? SumOf(*first->Next) : 0;
    facts.macLow = std::min(a, b);
    facts.macHigh = std::max(a, b);
}

std::uint16_t ReadCpu() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    __cpuid(0, eax, ebx, ecx, edx);
    return CpuSum(eax, ebx, ecx, edx);
}

std::uint16_t ReadVolume() {
    DWORD serial = 0;
    if (!GetVolumeInformationA("c:\\", nullptr, 0, &serial, nullptr, nullptr, nullptr, 0)) serial = 0;
    return VolumeSum(serial);
}

std::wstring ReadComputerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(name, &size) ? std::wstring(name, size) : std::wstring();
}

}  // namespace

std::uint16_t AddressSum(const unsigned char* bytes, std::size_t count) {
    std::uint16_t sum = 0;
    for (std::size_t i = 0; i < count; ++i) sum = static_cast<std::uint16_t>(sum + (i % 2 ? bytes[i] << 8 : bytes[i]));
    return sum;
}

std::uint16_t CpuSum(std::uint32_t eax, std::uint32_t ebx, std::uint32_t ecx, std::uint32_t edx) {
    return static_cast<std::uint16_t>(Words(eax) + Words(ebx) + Words(ecx) + Words(edx));
}

std::uint16_t VolumeSum(std::uint32_t serial) { return Words(serial); }

std::uint32_t Djb2(std::wstring_view text) {
    std::uint32_t hash = 5381;
    for (wchar_t unit : text) hash = hash * 33 + static_cast<std::uint16_t>(unit);
    return hash;
}

std::wstring SeedText(const MachineFacts& facts) {
    std::wstring seed = facts.computerName + std::to_wstring(facts.cpu) + std::to_wstring(facts.volume);
    if (facts.adaptersRead) seed += std::to_wstring(facts.macLow) + std::to_wstring(facts.macHigh);
    return seed;
}

std::wstring MachineIdFrom(const MachineFacts& facts) {
    const auto hash = static_cast<std::int32_t>(Djb2(SeedText(facts)));
    return std::to_wstring(hash) + L"-" + std::to_wstring(facts.macLow) + L"-" + std::to_wstring(facts.macHigh);
}

MachineFacts ReadMachineFacts() {
    MachineFacts facts;
    ReadAdapters(facts);
    facts.cpu = ReadCpu();
    facts.volume = ReadVolume();
    facts.computerName = ReadComputerName();
    return facts;
}

const std::wstring& MachineId() {
    static const std::wstring id = MachineIdFrom(ReadMachineFacts());
    return id;
}
