#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "sfx/CertificateTable.h"

namespace {

void put16(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t value) {
    v[at] = static_cast<std::uint8_t>(value);
    v[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void put32(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t value) {
    put16(v, at, value & 0xFFFF);
    put16(v, at + 2, value >> 16);
}

// The headers of a PE of either flavour, its security directory pointing at `address`.
std::vector<std::uint8_t> pe(bool plus, std::uint32_t address, std::uint32_t size,
                             std::size_t fileSize = 4096, std::uint32_t directories = 16) {
    std::vector<std::uint8_t> v(fileSize, 0);
    v[0] = 'M';
    v[1] = 'Z';
    const std::size_t header = 0x80;
    put32(v, 0x3C, header);
    std::memcpy(&v[header], "PE\0\0", 4);
    const std::size_t optional = header + 24;
    const std::uint32_t countAt = plus ? 108 : 92;
    put16(v, header + 4 + 16, countAt + 4 + directories * 8);
    put16(v, optional, plus ? 0x20B : 0x10B);
    put32(v, optional + countAt, directories);
    put32(v, optional + countAt + 4 + 4 * 8, address);
    put32(v, optional + countAt + 4 + 4 * 8 + 4, size);
    return v;
}

std::vector<std::uint8_t> cut(std::vector<std::uint8_t> v, std::size_t size) {
    v.resize(size);
    return v;
}

TEST(CertificateTable, FoundOnlyWhereTheSecurityDirectoryNamesOneInsideTheFile) {
    const struct {
        const char* what;
        std::vector<std::uint8_t> file;
        bool present;
        std::uint64_t offset;
    } cases[] = {
        {"PE32", pe(false, 3000, 500), true, 3000},
        {"PE32+", pe(true, 2048, 100), true, 2048},
        {"unsigned: empty directory", pe(false, 0, 0), false, 0},
        {"table beyond the end of the file", pe(false, 5000, 16), false, 0},
        {"too few directories to hold it", pe(false, 3000, 500, 4096, 4), false, 0},
        {"not a PE at all", std::vector<std::uint8_t>(4096, 'x'), false, 0},
        {"cut inside the headers", cut(pe(false, 3000, 500), 0x90), false, 0},
    };
    for (const auto& c : cases) {
        const app::CertificateTable table = app::findCertificateTable(c.file.data(), c.file.size());
        EXPECT_EQ(table.present, c.present) << c.what;
        EXPECT_EQ(table.offset, c.offset) << c.what;
    }
}

TEST(CertificateTable, ViewOfTheStartOfALargerFile) {
    // Only the start of a large file is mapped: its headers are read from the view, the table's
    // place is checked against the whole file.
    const std::vector<std::uint8_t> headers = pe(false, 0x50000000u, 4000);
    const std::uint64_t fileSize = 0x50000000u + 4000;
    const struct {
        const char* what;
        std::uint64_t fileSize;
        bool present;
    } cases[] = {
        {"table beyond the view, inside the file", fileSize, true},
        {"table beyond the end of the file", 0x50000000u - 1, false},
        {"file past 4 GiB", (std::uint64_t(1) << 32) + 12345, true},
    };
    for (const auto& c : cases) {
        const app::CertificateTable table =
            app::findCertificateTable(headers.data(), headers.size(), c.fileSize);
        EXPECT_EQ(table.present, c.present) << c.what;
        EXPECT_EQ(table.offset, c.present ? 0x50000000u : 0u) << c.what;
    }
    // Headers cut off by the view are not read past it, however large the file.
    EXPECT_FALSE(app::findCertificateTable(headers.data(), 0x90, fileSize).present);
}

}  // namespace
