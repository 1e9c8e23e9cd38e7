#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "base/Exception.h"
#include "sfx/Layout.h"
#include "tests/support/TestSupport.h"
#include "tests/tools/zipsfx/Images.h"
#include "tools/zipsfx/Branding.h"
#include "tools/zipsfx/IconFile.h"
#include "tools/zipsfx/PeImage.h"
#include "tools/zipsfx/PeResources.h"
#include "tools/zipsfx/ResourceTree.h"
#include "tools/zipsfx/VersionInfo.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const std::vector<images::Resource> kStubResources = {{"RUN"}, {"DESTINATION"}};

std::uint32_t u32(const Bytes& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

void put16(Bytes& b, std::uint32_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(Bytes& b, std::uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

// An .ico of square 32-bit bitmaps of these sizes.
Bytes icon(const std::vector<std::uint8_t>& sizes) {
    Bytes header;
    Bytes images;
    put16(header, 0);
    put16(header, 1);
    put16(header, static_cast<std::uint32_t>(sizes.size()));
    std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * sizes.size());
    for (std::uint8_t n : sizes) {
        Bytes image;
        put32(image, 40);
        put32(image, n);
        put32(image, 2u * n);
        put16(image, 1);
        put16(image, 32);
        for (int i = 0; i < 6; ++i) {
            put32(image, 0);
        }
        image.resize(image.size() + 4u * n * n + 4u * n, 0x5A);
        header.push_back(n);
        header.push_back(n);
        header.push_back(0);
        header.push_back(0);
        put16(header, 0);  // planes and bit count left for the reader
        put16(header, 0);
        put32(header, static_cast<std::uint32_t>(image.size()));
        put32(header, offset);
        offset += static_cast<std::uint32_t>(image.size());
        images.insert(images.end(), image.begin(), image.end());
    }
    header.insert(header.end(), images.begin(), images.end());
    return header;
}

std::string writeTemp(const testsupport::TempDir& dir, const std::string& name,
                      const Bytes& bytes) {
    const std::string path = dir / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
}

tools::ResourceTree treeOf(const Bytes& image) {
    const tools::PeImage pe(image);
    return tools::ResourceTree::read(pe.resourceSection(image), pe.resourceSectionRva(),
                                     pe.resourceRva() - pe.resourceSectionRva());
}

TEST(ResourceTree, ReadsWritesAndReadsBackTheSameTreeAtAnotherAddress) {
    const auto image = images::windowsImage({{"RUN", 10, {1033, 0}}, {"DESTINATION"}, {"X", 5}});
    const tools::ResourceTree tree = treeOf(image.bytes);
    const Bytes written = tree.write(0x7000);
    const tools::ResourceTree again = tools::ResourceTree::read(written, 0x7000);
    EXPECT_EQ(again.types().size(), 2u);
    const auto* run = again.find(tools::ResourceKey::number(10), tools::ResourceKey::text("run"));
    ASSERT_NE(run, nullptr);
    EXPECT_EQ(run->size(), 2u);
    EXPECT_EQ(run->at(1033).bytes, Bytes(261, 0xEE));
    // Every data entry points into the section at the new address, 8-byte aligned.
    for (const auto& [type, names] : tree.types()) {
        for (const auto& [name, languages] : names) {
            EXPECT_EQ(again.find(type, name)->size(), languages.size());
        }
    }
    // Read at a wrong address, the data lies outside the section.
    EXPECT_THROW(tools::ResourceTree::read(written, 0x9000), generic::exception);
}

TEST(ResourceTree, DamagedDirectoriesThrow) {
    const auto image = images::windowsImage(kStubResources);
    const tools::PeImage pe(image.bytes);
    Bytes section = pe.resourceSection(image.bytes);
    Bytes loop = section;
    loop[16 + 4] = 0;  // the first type points back at the root: a name level holding types
    loop[16 + 5] = 0;
    EXPECT_THROW(tools::ResourceTree::read(loop, pe.resourceSectionRva()), generic::exception);
    Bytes many = section;
    many[14] = 0xFF;  // more entries than the section holds
    EXPECT_THROW(tools::ResourceTree::read(many, pe.resourceSectionRva()), generic::exception);
    EXPECT_THROW(tools::ResourceTree::read(Bytes(8, 0), pe.resourceSectionRva()),
                 generic::exception);
}

// Each damaged .ico is refused with words that say what is wrong; the good one gives its images
// with planes and depth read from the bitmaps.
TEST(IconFile, RefusesDamagedIconsAndReadsGoodOnes) {
    const Bytes good = icon({16, 32});
    const auto images = tools::parseIcon(good, "a.ico");
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[1].width, 32);
    EXPECT_EQ(images[1].planes, 1);
    EXPECT_EQ(images[1].bitCount, 32);
    EXPECT_EQ(images[0].bytes.size(), 40u + 4 * 16 * 16 + 4 * 16);

    struct Case {
        const char* what;
        Bytes bytes;
        const char* words;
    };
    Bytes truncated(good.begin(), good.end() - 1);
    Bytes lyingShort = good;
    lyingShort[4] = 0xD0;  // 2000 images: their list alone is longer than the file
    lyingShort[5] = 0x07;
    Bytes lyingInside = good;
    lyingInside[4] = 5;  // the list would run into the first image
    Bytes notBitmap = good;
    notBitmap[u32(good, 6 + 12)] = 41;
    Bytes cursor = good;
    cursor[2] = 2;
    Bytes none = good;
    none[4] = 0;
    const Case cases[] = {
        {"empty", {}, "is not an icon file"},
        {"a cursor", cursor, "is not an icon file"},
        {"no images", none, "holds no image"},
        {"truncated", truncated, "it is truncated"},
        {"count too large for the file", lyingShort, "says it holds 2000 images, but is too short"},
        {"count running into the images", lyingInside, "its image count is wrong"},
        {"not a bitmap", notBitmap, "neither a bitmap nor a PNG"},
    };
    for (const Case& c : cases) {
        try {
            tools::parseIcon(c.bytes, "bad.ico");
            ADD_FAILURE() << c.what << " was accepted";
        } catch (const generic::exception& e) {
            EXPECT_NE(e.message().find(c.words), std::string::npos)
                << c.what << ": " << e.message();
            EXPECT_NE(e.message().find("bad.ico"), std::string::npos) << c.what;
        }
    }
}

TEST(VersionInfo, VersionNumbersAndStringsAreChecked) {
    EXPECT_EQ(tools::parseVersion("1.2.3.4"), (std::array<std::uint16_t, 4>{1, 2, 3, 4}));
    EXPECT_EQ(tools::parseVersion("7"), (std::array<std::uint16_t, 4>{7, 0, 0, 0}));
    EXPECT_EQ(tools::parseVersion("65535.0.1"), (std::array<std::uint16_t, 4>{65535, 0, 1, 0}));
    for (const char* bad : {"", "1.", ".1", "1..2", "1.2.3.4.5", "65536", "1.x", "-1", "1 .2"}) {
        EXPECT_THROW(tools::parseVersion(bad), generic::exception) << bad;
    }
    tools::VersionInfo info;
    tools::addVersionString(info, "ProductName=Acme=Tools");
    tools::addVersionString(info, "ProductName=Acme");  // the last one counts
    tools::addVersionString(info, "Comments=");
    ASSERT_EQ(info.strings.size(), 2u);
    EXPECT_EQ(info.strings[0].second, "Acme");
    const std::string longKey(tools::kMaxVersionKey + 1, 'K');
    for (const std::string& bad :
         {std::string("ProductName"), std::string("=x"), std::string("Product Name=x"),
          longKey + "=x", "Key=" + std::string(tools::kMaxVersionValue + 1, 'v'),
          std::string("Key=\xff")}) {
        EXPECT_THROW(tools::addVersionString(info, bad), generic::exception) << bad.substr(0, 30);
    }
    tools::addVersionString(info, std::string(tools::kMaxVersionKey, 'K') + "=x");
}

TEST(VersionInfo, ResourceLayout) {
    tools::VersionInfo info;
    info.version = {1, 2, 3, 4};
    info.versionGiven = true;
    tools::addVersionString(info, "ProductName=Acme");
    const Bytes bytes = tools::versionResource(info);
    EXPECT_EQ(bytes[0] | bytes[1] << 8, static_cast<int>(bytes.size()));  // wLength
    EXPECT_EQ(bytes[2] | bytes[3] << 8, 52);                              // VS_FIXEDFILEINFO
    // The fixed information follows the key "VS_VERSION_INFO" and its padding, at 40.
    EXPECT_EQ(u32(bytes, 40), 0xFEEF04BDu);
    EXPECT_EQ(u32(bytes, 48), 0x00010002u);  // file version, high part
    EXPECT_EQ(u32(bytes, 52), 0x00030004u);
    // FileVersion and ProductVersion strings default to the numbers.
    const std::string text(bytes.begin(), bytes.end());
    std::string utf16;
    for (char c : std::string("1.2.3.4")) {
        utf16 += c;
        utf16 += '\0';
    }
    std::size_t count = 0;
    for (std::size_t at = text.find(utf16); at != std::string::npos;
         at = text.find(utf16, at + 1)) {
        ++count;
    }
    EXPECT_EQ(count, 2u);
}

// The texts, icon, version and manifest go into a synthetic stub of either width; the resource
// section grows at the end of the image, and every header that depends on it follows.
TEST(Branding, WindowsStubGrowsItsResourcesAndKeepsTheBlocks) {
    testsupport::TempDir dir;
    const std::string iconPath = writeTemp(dir, "a.ico", icon({16, 32, 48}));
    const std::string licensePath = writeTemp(dir, "licence.txt", {0xEF, 0xBB, 0xBF, 'O', 'K'});
    for (bool wide : {false, true}) {
        auto image = images::windowsImage({{"RUN"}, {"DESTINATION"}, {"1", 24, {0}, 40}}, wide);
        // The manifest stand-in: a data resource of type 24 holding the execution level.
        const std::string manifest = "<requestedExecutionLevel level=\"asInvoker\"/>";
        {
            tools::ResourceTree tree = treeOf(image.bytes);
            tree.remove(tools::ResourceKey::number(24), tools::ResourceKey::text("1"));
            tree.put(tools::ResourceKey::number(24), tools::ResourceKey::number(1), 0,
                     {Bytes(manifest.begin(), manifest.end()), 0});
            tools::PeImage(image.bytes).replaceResources(image.bytes, [&](std::uint32_t rva) {
                return tree.write(rva);
            });
        }
        const Bytes before = image.bytes;
        tools::Branding branding;
        branding.iconPath = iconPath;
        branding.title = "Acme";
        branding.message = "Install?\nReally?";
        branding.licensePath = licensePath;
        branding.version.version = {1, 2, 3, 4};
        branding.version.versionGiven = true;
        branding.admin = true;
        tools::applyBranding(image.bytes, branding);

        const tools::PeImage pe(image.bytes);
        ASSERT_GT(image.bytes.size(), before.size());
        const tools::PeSection& rsrc = pe.sections().back();
        EXPECT_EQ(pe.resourceRva(), rsrc.virtualAddress);
        EXPECT_EQ(pe.resourceSize(), rsrc.virtualSize);
        EXPECT_EQ(std::uint64_t(rsrc.rawOffset) + rsrc.rawSize, image.bytes.size());
        EXPECT_EQ(rsrc.rawSize % 0x200, 0u);
        const std::size_t optional = 0x80 + 24;
        EXPECT_EQ(u32(image.bytes, optional + 56),
                  (rsrc.virtualAddress + rsrc.virtualSize + 0xFFFu) / 0x1000 * 0x1000);
        const std::uint32_t checksumAt = tools::peChecksumOffset(image.bytes);
        EXPECT_EQ(u32(image.bytes, checksumAt), tools::peChecksum(image.bytes, checksumAt));

        // The settings blocks, found by the older reader, kept their bytes.
        const auto runs = tools::findRcData(image.bytes, "RUN");
        ASSERT_EQ(runs.size(), 1u);
        EXPECT_EQ(Bytes(image.bytes.begin() + static_cast<long>(runs[0].offset),
                        image.bytes.begin() + static_cast<long>(runs[0].offset + runs[0].size)),
                  Bytes(261, 0xEE));
        const tools::StubBranding read = tools::readBranding(image.bytes);
        EXPECT_EQ(read.title, "Acme");
        EXPECT_EQ(read.message, "Install?\nReally?");
        EXPECT_EQ(read.license, "OK");  // without its byte order mark
        EXPECT_TRUE(read.admin);
        const tools::ResourceTree tree = treeOf(image.bytes);
        const auto* group =
            tree.find(tools::ResourceKey::number(14), tools::ResourceKey::text("icon"));
        ASSERT_NE(group, nullptr);
        const auto ids = tools::iconGroupIds(group->begin()->second.bytes);
        ASSERT_EQ(ids.size(), 3u);
        for (std::uint16_t id : ids) {
            EXPECT_NE(tree.find(tools::ResourceKey::number(3), tools::ResourceKey::number(id)),
                      nullptr);
        }
        EXPECT_NE(tree.find(tools::ResourceKey::number(16), tools::ResourceKey::number(1)),
                  nullptr);

        // Branding again (a branded stub given as --stub) replaces, never piles up.
        branding.title = "Acme 2";
        tools::applyBranding(image.bytes, branding);
        EXPECT_EQ(tools::readBranding(image.bytes).title, "Acme 2");
        EXPECT_EQ(treeOf(image.bytes).types().at(tools::ResourceKey::number(3)).size(), 3u);
    }
}

// Whatever is refused leaves the image as it was.
TEST(Branding, RefusalsLeaveTheImageUnchanged) {
    testsupport::TempDir dir;
    Bytes damaged = icon({16});
    damaged.resize(damaged.size() - 10);
    const std::string damagedPath = writeTemp(dir, "bad.ico", damaged);
    const std::string bigLicence = writeTemp(dir, "big.txt", Bytes(sfx::kMaxLicenseText + 1, 'x'));
    const std::string badLicence = writeTemp(dir, "bad.txt", {'a', 0xFF});
    auto image = images::windowsImage(kStubResources);
    const Bytes before = image.bytes;
    std::vector<tools::Branding> refused(6);
    refused[0].iconPath = damagedPath;
    refused[1].title = std::string(sfx::kMaxTitleText + 1, 't');
    refused[2].message = std::string(sfx::kMaxMessageText + 1, 'm');
    refused[3].licensePath = bigLicence;
    refused[4].licensePath = badLicence;
    refused[5].admin = true;  // no manifest in this stub
    refused[5].title = "fine";
    for (std::size_t i = 0; i < refused.size(); ++i) {
        EXPECT_THROW(tools::applyBranding(image.bytes, refused[i]), generic::exception) << i;
        EXPECT_EQ(image.bytes, before) << i;
    }
    // Exactly at the limits is accepted.
    tools::Branding full;
    full.title = std::string(sfx::kMaxTitleText, 't');
    full.message = std::string(sfx::kMaxMessageText, 'm');
    tools::applyBranding(image.bytes, full);
    EXPECT_EQ(tools::readBranding(image.bytes).title.size(), sfx::kMaxTitleText);
}

// The POSIX stub: the texts behind the image, the table in its section; nothing else moves.
TEST(Branding, ElfStubKeepsTheTextsBehindItsImage) {
    testsupport::TempDir dir;
    const std::string licence = writeTemp(dir, "l.txt", {'L', '\n'});
    for (bool wide : {false, true}) {
        auto image = images::elfImage({{".zipsfx"}, {".zipsfxt", 24}}, wide);
        const Bytes before = image.bytes;
        tools::Branding branding;
        branding.title = "Acme";
        branding.licensePath = licence;
        tools::applyBranding(image.bytes, branding);
        ASSERT_EQ(image.bytes.size(), before.size() + 4 + 2);
        // The table changed, nothing else before the texts.
        const Bytes head(image.bytes.begin(),
                         image.bytes.begin() + static_cast<long>(before.size()));
        EXPECT_NE(head, before);
        std::size_t changed = 0;
        for (std::size_t i = 0; i < before.size(); ++i) {
            changed += head[i] != before[i] ? 1 : 0;
        }
        EXPECT_LE(changed, 16u);
        const tools::StubBranding read = tools::readBranding(image.bytes);
        EXPECT_EQ(read.title, "Acme");
        EXPECT_EQ(read.message, "");
        EXPECT_EQ(read.license, "L\n");

        auto bare = images::elfImage({{".zipsfx"}}, wide);
        const Bytes bareBefore = bare.bytes;
        EXPECT_THROW(tools::applyBranding(bare.bytes, branding), generic::exception);
        EXPECT_EQ(bare.bytes, bareBefore);
    }
}

}  // namespace

namespace {

// The section is rewritten where it is while it fits, and grows at the end of the image when it
// is the last section; the data directory always points at the tree written.
TEST(PeImage, RewritesInPlaceWhileItFitsAndGrowsWhenLast) {
    auto image = images::windowsImage(kStubResources, true);
    const Bytes before = image.bytes;
    tools::ResourceTree tree = treeOf(image.bytes);
    const tools::PeImage pe(image.bytes);
    auto write = [&](std::uint32_t rva) { return tree.write(rva); };
    EXPECT_EQ(pe.replaceResources(image.bytes, write), tools::ResourcePlacement::InPlace);
    EXPECT_EQ(image.bytes.size(), before.size());
    EXPECT_EQ(treeOf(image.bytes).types().size(), tree.types().size());

    tree.put(tools::ResourceKey::number(10), tools::ResourceKey::text("BIG"), 0,
             {Bytes(10000, 0x42), 0});
    const tools::PeImage again(image.bytes);
    EXPECT_EQ(again.replaceResources(image.bytes, write), tools::ResourcePlacement::Grown);
    EXPECT_GT(image.bytes.size(), 0x400u + 10000);  // the headers, the code, the new section
    const tools::ResourceTree grown = treeOf(image.bytes);
    const auto* big = grown.find(tools::ResourceKey::number(10), tools::ResourceKey::text("big"));
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(big->at(0).bytes, Bytes(10000, 0x42));
    EXPECT_EQ(tools::PeImage(image.bytes).resourceSize(),
              tools::PeImage(image.bytes).sections().back().virtualSize);
}

// A signed stub cannot be branded: the change would break its signature.
TEST(PeImage, RefusesASignedStub) {
    auto image = images::windowsImage(kStubResources);
    const std::size_t certificate = 0x80 + 24 + 96 + 8 * 4;
    image.bytes[certificate] = 0x10;
    image.bytes[certificate + 4] = 0x10;
    const Bytes before = image.bytes;
    tools::Branding branding;
    branding.title = "Acme";
    try {
        tools::applyBranding(image.bytes, branding);
        ADD_FAILURE() << "a signed stub was branded";
    } catch (const generic::exception& e) {
        EXPECT_NE(e.message().find("signed"), std::string::npos) << e.message();
    }
    EXPECT_EQ(image.bytes, before);
}

}  // namespace
