#include "algorithm/zip/Huffman.h"

#include <memory>

#include "base/Exception.h"

namespace algorithm {
namespace zip {

namespace {

constexpr unsigned kMaxLevels = 16;

// Tables are allocated with one extra leading entry whose link chains to the next table of the
// same build; callers see the table proper, one entry further.
huft* headerOf(huft* table) {
    return table - 1;
}

// Collects the tables of one build so that a failed allocation half way frees the earlier ones.
class ChainBuilder {
  public:
    ChainBuilder() = default;
    ChainBuilder(const ChainBuilder&) = delete;
    ChainBuilder& operator=(const ChainBuilder&) = delete;
    ~ChainBuilder() { huft_release(root_); }

    huft* add(unsigned entries) {
        std::unique_ptr<huft[]> block(new huft[entries + 1]());
        huft* table = block.get() + 1;
        headerOf(table)->link = nullptr;
        if (root_ == nullptr) {
            root_ = table;
        } else {
            headerOf(last_)->link = table;
        }
        last_ = table;
        block.release();  // now owned by the chain
        return table;
    }
    huft* take() {
        huft* root = root_;
        root_ = nullptr;
        return root;
    }

  private:
    huft* root_ = nullptr;
    huft* last_ = nullptr;
};

}  // namespace

void huft_build(const unsigned* lengths, unsigned n, unsigned s, const std::uint32_t* bases,
                const std::uint32_t* extras, huft*& table, int& lookupBits) {
    // A table never reaches past the end-of-block code's length, so that code always ends at a
    // table boundary.
    const unsigned eob = n > 256 ? lengths[256] : kHuftMaxLength;

    unsigned count[kHuftMaxLength + 2] = {};
    for (unsigned i = 0; i < n; ++i) {
        ++count[lengths[i]];
    }
    if (count[0] == n) {
        lookupBits = 0;
        table = nullptr;
        return;
    }

    unsigned minLength = 1;
    while (count[minLength] == 0) {
        ++minLength;
    }
    unsigned maxLength = kHuftMaxLength;
    while (count[maxLength] == 0) {
        --maxLength;
    }
    unsigned m = static_cast<std::uint16_t>(lookupBits);
    if (m < minLength) {
        m = minLength;
    }
    if (m > maxLength) {
        m = maxLength;
    }

    // Check the lengths against the code space before allocating anything. The patterns left free
    // are walked like codes and become invalid entries.
    count[maxLength] += huft_check(count);

    // Symbols sorted by length, and by symbol within a length.
    unsigned offset[kHuftMaxLength + 2] = {};
    for (unsigned j = 1; j < maxLength; ++j) {
        offset[j + 1] = offset[j] + count[j];
    }
    unsigned sorted[kHuftMaxSymbols];
    unsigned symbols = 0;
    for (unsigned i = 0; i < n; ++i) {
        if (lengths[i] != 0) {
            sorted[offset[lengths[i]]++] = i;
            ++symbols;
        }
    }

    ChainBuilder chain;
    huft* tables[kMaxLevels] = {};
    unsigned sizes[kMaxLevels] = {};
    unsigned patterns[kMaxLevels] = {};
    int level = -1;
    unsigned w = 0;  // bits decoded before the current table
    unsigned next = 0;
    unsigned i = 0;  // the current code, bit-reversed

    for (unsigned k = minLength; k <= maxLength; ++k) {
        for (unsigned left = count[k]; left > 0; --left) {
            // Open tables until the current one reaches this code's length.
            while (k > w + (level < 0 ? 0 : sizes[level])) {
                w += level < 0 ? 0 : sizes[level];
                ++level;
                unsigned z = maxLength - w < m ? maxLength - w : m;
                unsigned j = k - w;
                if (j < z) {
                    // Grow the table while the longer codes would fill it.
                    unsigned long f = 1UL << j;
                    if (f > left) {
                        f -= left;
                        unsigned xp = k;
                        for (;;) {
                            if (++j >= z) {
                                j = z;
                                break;
                            }
                            f *= 2;
                            unsigned c = count[++xp];
                            if (f <= c) {
                                break;
                            }
                            f -= c;
                        }
                    }
                } else {
                    j = z;
                }
                if (w + j > eob && w < eob) {
                    j = eob - w;
                }
                huft* fresh = chain.add(1u << j);
                tables[level] = fresh;
                sizes[level] = j;
                patterns[level] = i;
                if (level > 0) {
                    unsigned parentSize = sizes[level - 1];
                    unsigned index = (i & ((1u << w) - 1)) >> (w - parentSize);
                    huft& entry = tables[level - 1][index];
                    entry.bits = static_cast<std::uint8_t>(parentSize);
                    entry.operation = static_cast<std::uint8_t>(kHuftLiteral + j);
                    entry.link = fresh;
                }
            }

            huft entry{};
            entry.bits = static_cast<std::uint8_t>(k - w);
            if (next >= symbols) {
                entry.operation = kHuftInvalid;
            } else {
                unsigned v = sorted[next++];
                if (v < s) {
                    entry.operation = v < 256 ? kHuftLiteral : kHuftEndOfBlock;
                    entry.value = static_cast<std::uint16_t>(v);
                } else {
                    entry.operation = static_cast<std::uint8_t>(extras[v - s]);
                    entry.value = static_cast<std::uint16_t>(bases[v - s]);
                }
            }
            const unsigned size = 1u << sizes[level];
            for (unsigned index = i >> w; index < size; index += 1u << (k - w)) {
                tables[level][index] = entry;
            }

            // Next code of length k, counted with its first bit lowest.
            unsigned bit = 1u << (k - 1);
            while (i & bit) {
                i ^= bit;
                bit >>= 1;
            }
            i ^= bit;

            // Back up to the table that holds the next code's prefix.
            while (level > 0 && (i & ((1u << w) - 1)) != (patterns[level] & ((1u << w) - 1))) {
                --level;
                w -= sizes[level];
            }
        }
    }

    lookupBits = static_cast<int>(sizes[0]);
    table = chain.take();
}

unsigned huft_check(const unsigned* count) {
    unsigned minLength = 1;
    while (minLength <= kHuftMaxLength && count[minLength] == 0) {
        ++minLength;
    }
    if (minLength > kHuftMaxLength) {
        return 0;
    }
    unsigned maxLength = kHuftMaxLength;
    while (count[maxLength] == 0) {
        --maxLength;
    }
    long free = 1L << minLength;
    for (unsigned j = minLength; j < maxLength; ++j) {
        free -= count[j];
        if (free < 0) {
            throw Exception("algorithm::zip::huft_build(): bad input, more codes than bits");
        }
        free *= 2;
    }
    free -= count[maxLength];
    if (free < 0) {
        throw Exception("algorithm::zip::huft_build(): short input");
    }
    return static_cast<unsigned>(free);
}

void huft_release(huft* table) {
    while (table != nullptr) {
        huft* next = headerOf(table)->link;
        delete[] headerOf(table);
        table = next;
    }
}

}  // namespace zip
}  // namespace algorithm
