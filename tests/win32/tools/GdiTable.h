// The number of GDI objects a process holds, read from Wine's per-process
// GDI handle table, for the checks that repaints leak no GDI objects.
// Answers -1 where the figure cannot be had (not Wine, unreadable table).
#pragma once

#include <windows.h>

#include <winternl.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lum::probe {

// Wine keeps each process's GDI objects in a handle table of its own that
// the process environment block points to (GdiSharedHandleTable, offset 0x94
// of a 32-bit PEB), one 24-byte entry per handle: a 64-bit object pointer,
// the owner, the unique/generation word, then the type byte, 0 for a free
// entry. GetGuiResources under Wine only answers 0, so the used entries of
// that table are the count of GDI objects. Windows keeps a different,
// session-wide table there; the figure is then not used (-1).
constexpr std::uint32_t kPebGdiTableOffset = 0x94;
constexpr std::size_t kGdiEntrySize = 24;
constexpr std::size_t kGdiEntryTypeOffset = 14;
constexpr std::size_t kGdiMaxHandles = 0x10000;

inline bool IsWine() {
    return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// GDI objects in use in process (a handle with PROCESS_VM_READ access).
inline long CountGdiTable(HANDLE process) {
    if (!IsWine())
        return -1;
    using QueryFn = LONG(WINAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    if (!query)
        return -1;
    PROCESS_BASIC_INFORMATION basic{};
    if (query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0)
        return -1;
    std::uint32_t table = 0;
    SIZE_T got = 0;
    const auto* peb = static_cast<const char*>(static_cast<const void*>(basic.PebBaseAddress));
    if (!::ReadProcessMemory(process, peb + kPebGdiTableOffset, &table, sizeof table, &got) ||
        got != sizeof table || table == 0)
        return -1;
    std::vector<unsigned char> entries(kGdiMaxHandles * kGdiEntrySize);
    // Read page by page: the table is reserved whole but may be committed in part.
    long used = 0;
    constexpr std::size_t kChunk = 4096 * 6;  // a whole number of entries
    for (std::size_t at = 0; at < entries.size(); at += kChunk) {
        if (!::ReadProcessMemory(process, reinterpret_cast<const void*>(table + at),
                                 entries.data() + at, kChunk, &got) ||
            got != kChunk)
            break;
        for (std::size_t e = at; e < at + kChunk; e += kGdiEntrySize)
            if (entries[e + kGdiEntryTypeOffset] != 0)
                ++used;
    }
    return used;
}

}  // namespace lum::probe
