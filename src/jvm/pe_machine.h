// The machine type of a Windows executable or DLL, read from its headers
// without loading it, so that discovery can pass over a JVM library of the
// other architecture. Standard C file calls only.
#pragma once
#include <cstdint>

constexpr int pe_machine_x86 = 0x014c;
constexpr int pe_machine_x64 = 0x8664;
constexpr int pe_machine_arm64 = 0xaa64;

// The offset of the PE signature that a DOS header (its first 64 bytes)
// names, or -1 when the bytes are no DOS header.
int32_t pe_signature_offset(const unsigned char* dos_header, uint32_t size);

// The machine field behind a PE signature (the 6 bytes read at its offset),
// or -1 when the signature is not there.
int pe_machine_after_signature(const unsigned char* bytes, uint32_t size);

// The machine type of the file at path: two reads of its headers. -1 when it
// cannot be read or is not a PE file.
int read_pe_machine(const char* path);

// The machine type of the running launcher's own code.
constexpr int launcher_machine = sizeof(void*) == 8 ? pe_machine_x64 : pe_machine_x86;

// "x86", "x64", "arm64", "not a PE file" or "unknown".
const char* pe_machine_name(int machine);
