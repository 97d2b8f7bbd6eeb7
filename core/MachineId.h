// The machine identifier that the customer-service links carry:
// "<signed hash>-<mac-low>-<mac-high>", for example "-1580163425-0-47806".
// The hash covers the computer name, the CPU vendor words, the system volume's
// serial and the address sums of the first two network adapters.
#pragma once
#include <cstdint>
#include <cstddef>
#include <string>
#include <string_view>

// Computed on the first call; the same text for the rest of the process.
const std::wstring& MachineId();

// What the identifier is made of, read from this machine.
struct MachineFacts {
    std::wstring computerName;
    std::uint16_t cpu = 0;     // CpuSum of CPUID leaf 0
    std::uint16_t volume = 0;  // VolumeSum of the serial of C:
    bool adaptersRead = false;  // the adapter query answered
    // Address sums of the first two adapters, smaller first; 0 stands for a
    // missing adapter so that the identifier stays the same across runs.
    std::uint16_t macLow = 0;
    std::uint16_t macHigh = 0;
};
MachineFacts ReadMachineFacts();

// The pure parts.
// Sum modulo 65536 of consecutive byte pairs read as little-endian words.
std::uint16_t AddressSum(const unsigned char* bytes, std::size_t count);
std::uint16_t CpuSum(std::uint32_t eax, std::uint32_t ebx, std::uint32_t ecx, std::uint32_t edx);
std::uint16_t VolumeSum(std::uint32_t serial);
// djb2 over UTF-16 code units: h = h * 33 + unit from 5381, in 32 bits.
std::uint32_t Djb2(std::wstring_view text);
// Name and decimal numbers run together; the adapter sums only when read.
std::wstring SeedText(const MachineFacts& facts);
std::wstring MachineIdFrom(const MachineFacts& facts);
