#include "SfxFiles.h"

#include "sfx/Layout.h"
#include "tests/support/ZipBuilder.h"

namespace apptest {

namespace {

constexpr std::uint32_t kDosTime = (12u << 11) | (34u << 5) | (56u / 2);
constexpr std::uint32_t kDosDate = ((2020u - 1980u) << 9) | (6u << 5) | 15u;

}  // namespace

std::string storedZip(const std::vector<Entry>& entries) {
    std::vector<ziptest::EntryPlan> plans;
    for (const Entry& e : entries) {
        ziptest::EntryPlan plan(e.name, e.data);
        plan.versionNeeded = 10;
        plan.time = kDosTime;
        plan.date = kDosDate;
        plan.externalAttributes = !e.name.empty() && e.name.back() == '/' ? 0x10 : 0x20;
        plans.push_back(std::move(plan));
    }
    return ziptest::build(plans).bytes;
}

std::string selfExtracting(const std::string& zip, std::size_t programSize) {
    std::string file(programSize, 'P');
    file.resize((programSize + 511) / 512 * 512, '\0');
    const sfx::Mark mark = sfx::mark();
    file.append(mark.begin(), mark.end());
    return file + zip;
}

}  // namespace apptest
