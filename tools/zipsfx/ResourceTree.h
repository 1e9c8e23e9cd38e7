// A Windows executable's resources as a tree of types, names and languages, read from the
// resource section and written back as a new section: what `zipsfx make` edits to put the
// shipper's icon, version information, manifest and texts into a copy of the stub.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tools {

// A type or a name: a number, or a string (kept in upper case, as the loader looks names up).
struct ResourceKey {
    bool named = false;
    std::uint16_t id = 0;
    std::u16string name;

    static ResourceKey number(std::uint16_t id);
    // ASCII only, turned to upper case.
    static ResourceKey text(const std::string& name);
};

// The order of a resource directory: names first, by their UTF-16 code units, then numbers.
bool operator<(const ResourceKey& a, const ResourceKey& b);
bool operator==(const ResourceKey& a, const ResourceKey& b);

struct ResourceData {
    std::vector<std::uint8_t> bytes;
    std::uint32_t codePage = 0;
};

// Standard resource types.
constexpr std::uint16_t kRtIcon = 3;
constexpr std::uint16_t kRtRcData = 10;
constexpr std::uint16_t kRtGroupIcon = 14;
constexpr std::uint16_t kRtVersion = 16;
constexpr std::uint16_t kRtManifest = 24;

class ResourceTree {
  public:
    using Languages = std::map<std::uint16_t, ResourceData>;
    using Names = std::map<ResourceKey, Languages>;
    using Types = std::map<ResourceKey, Names>;

    // Reads the tree from the section's bytes. `sectionRva` is where the section is loaded, so
    // that data addresses can be turned into offsets of `section`; `directory` is the offset of
    // the root directory in it. Throws generic::exception (kind "stub") when the tree is damaged:
    // a pointer outside the section, a loop, a level too deep.
    static ResourceTree read(const std::vector<std::uint8_t>& section, std::uint32_t sectionRva,
                             std::uint32_t directory = 0);

    // The section's bytes for a section loaded at `rva`: the directories, names, data entries,
    // then the data, each piece aligned as the loader expects.
    std::vector<std::uint8_t> write(std::uint32_t rva) const;

    Types& types() { return types_; }
    const Types& types() const { return types_; }

    // Every language of one resource; nullptr when there is none.
    const Languages* find(const ResourceKey& type, const ResourceKey& name) const;
    // Sets one language of one resource, replacing what was there.
    void put(const ResourceKey& type, const ResourceKey& name, std::uint16_t language,
             ResourceData data);
    // Removes one resource with all its languages (and its type when it was the last).
    void remove(const ResourceKey& type, const ResourceKey& name);

  private:
    Types types_;
};

}  // namespace tools
