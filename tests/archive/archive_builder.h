#pragma once
// Writes archive files byte by byte, independently of the code under test.

#include <cstdint>
#include <string>
#include <vector>

inline void PutU32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out += static_cast<char>((v >> (8 * i)) & 0xFF);
    }
}

inline uint32_t GetU32(const std::string& bytes, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) {
        v = (v << 8) | static_cast<unsigned char>(bytes.at(at + i));
    }
    return v;
}

struct RawRecord {
    uint32_t dataOffset, storedSize, uncompressedSize, checksum;
    std::string name;  // written with its NUL
};

inline uint32_t UnsignedSum(const std::string& bytes) {
    uint32_t sum = 0;
    for (unsigned char c : bytes) {
        sum += c;
    }
    return sum;
}

inline std::string RecordBytes(const RawRecord& r) {
    std::string out;
    PutU32(out, r.dataOffset);
    PutU32(out, r.storedSize);
    PutU32(out, r.uncompressedSize);
    PutU32(out, r.checksum);
    out += static_cast<char>(r.name.size() + 1);
    out += r.name;
    out += '\0';
    return out;
}

// The trailer, with its checksum over bytes 4..19 taken as signed bytes.
inline std::string TrailerBytes(uint32_t directoryOffset, uint32_t entryCount,
                                bool unsignedChecksum = false) {
    std::string body;
    PutU32(body, directoryOffset);
    PutU32(body, entryCount);
    PutU32(body, 0x03345283u);
    PutU32(body, 0x0EFFF343u);
    int32_t sum = 0;
    for (unsigned char c : body) {
        sum += unsignedChecksum ? static_cast<int32_t>(c) : static_cast<signed char>(c);
    }
    std::string out;
    PutU32(out, static_cast<uint32_t>(sum));
    return out + body;
}

struct ParsedRecord {
    RawRecord record;
    size_t at;
};

// Reads the directory back the way the format defines it, for checking written archives.
inline bool ParseArchive(const std::string& bytes, uint32_t* directoryOffset,
                         std::vector<RawRecord>* records) {
    if (bytes.size() < 20) {
        return false;
    }
    size_t t = bytes.size() - 20;
    if (GetU32(bytes, t + 12) != 0x03345283u || GetU32(bytes, t + 16) != 0x0EFFF343u) {
        return false;
    }
    *directoryOffset = GetU32(bytes, t + 4);
    uint32_t count = GetU32(bytes, t + 8);
    size_t at = *directoryOffset;
    records->clear();
    for (uint32_t i = 0; i < count; ++i) {
        RawRecord r;
        r.dataOffset = GetU32(bytes, at);
        r.storedSize = GetU32(bytes, at + 4);
        r.uncompressedSize = GetU32(bytes, at + 8);
        r.checksum = GetU32(bytes, at + 12);
        size_t length = static_cast<unsigned char>(bytes[at + 16]);
        r.name = bytes.substr(at + 17, length - 1);
        records->push_back(r);
        at += 17 + length;
    }
    return at == t;
}
