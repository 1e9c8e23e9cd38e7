#include "SfxFiles.h"

#include "sfx/Layout.h"

namespace apptest {

namespace {

using testsupport::put16;
using testsupport::put32;

constexpr std::uint32_t kDosTime = (12u << 11) | (34u << 5) | (56u / 2);
constexpr std::uint32_t kDosDate = ((2020u - 1980u) << 9) | (6u << 5) | 15u;

}  // namespace

std::string storedZip(const std::vector<Entry>& entries) {
    std::string local;
    std::string central;
    for (const Entry& e : entries) {
        const std::uint32_t offset = static_cast<std::uint32_t>(local.size());
        const std::uint32_t crc = crc32(e.data);
        const std::uint32_t size = static_cast<std::uint32_t>(e.data.size());
        const bool folder = !e.name.empty() && e.name.back() == '/';
        put32(local, 0x04034b50);
        put16(local, 10);
        put16(local, 0);
        put16(local, 0);
        put16(local, kDosTime);
        put16(local, kDosDate);
        put32(local, crc);
        put32(local, size);
        put32(local, size);
        put16(local, static_cast<std::uint32_t>(e.name.size()));
        put16(local, 0);
        local += e.name + e.data;

        put32(central, 0x02014b50);
        put16(central, 20);
        put16(central, 10);
        put16(central, 0);
        put16(central, 0);
        put16(central, kDosTime);
        put16(central, kDosDate);
        put32(central, crc);
        put32(central, size);
        put32(central, size);
        put16(central, static_cast<std::uint32_t>(e.name.size()));
        put16(central, 0);
        put16(central, 0);
        put16(central, 0);
        put16(central, 0);
        put32(central, folder ? 0x10 : 0x20);
        put32(central, offset);
        central += e.name;
    }
    std::string zip = local + central;
    put32(zip, 0x06054b50);
    put16(zip, 0);
    put16(zip, 0);
    put16(zip, static_cast<std::uint32_t>(entries.size()));
    put16(zip, static_cast<std::uint32_t>(entries.size()));
    put32(zip, static_cast<std::uint32_t>(central.size()));
    put32(zip, static_cast<std::uint32_t>(local.size()));
    put16(zip, 0);
    return zip;
}

std::string selfExtracting(const std::string& zip, std::size_t programSize) {
    std::string file(programSize, 'P');
    file.resize((programSize + 511) / 512 * 512, '\0');
    const sfx::Mark mark = sfx::mark();
    file.append(mark.begin(), mark.end());
    return file + zip;
}

}  // namespace apptest
