#include "platform/Crypto.h"

#include <errno.h>
#include <sys/random.h>
#include <tomcrypt.h>

namespace platform {
namespace crypto {

namespace {

// The library finds hashes by their index in its table, filled on first use.
int sha1Index() {
    int index = find_hash("sha1");
    if (index < 0 && register_hash(&sha1_desc) >= 0) {
        index = find_hash("sha1");
    }
    return index;
}

// HMAC pads a key with zeros to the block size, so an empty key is the same as one zero byte; the
// library refuses an empty one (and stops the program on a null one).
const std::uint8_t kZeroKey = 0;

}  // namespace

struct Aes::State {
    symmetric_key key;
    bool ready = false;
};

Aes::Aes() : state_(std::make_unique<State>()) {}

Aes::~Aes() {
    zeromem(&state_->key, sizeof state_->key);
}

bool Aes::setKey(const std::uint8_t* key, std::size_t length) {
    state_->ready = (length == 16 || length == 24 || length == 32) &&
                    aes_setup(key, static_cast<int>(length), 0, &state_->key) == CRYPT_OK;
    return state_->ready;
}

bool Aes::encryptBlocks(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) {
    if (!state_->ready) {
        return false;
    }
    for (std::size_t i = 0; i < blocks; ++i) {
        if (aes_ecb_encrypt(in + i * kAesBlockSize, out + i * kAesBlockSize, &state_->key) !=
            CRYPT_OK) {
            return false;
        }
    }
    return true;
}

struct HmacSha1::State {
    hmac_state hmac;
    bool ready = false;

    // The library holds the key in memory of its own until the code is done: a code left
    // unfinished (an entry that failed half way) is finished here, so that it is released.
    void release() {
        if (ready) {
            unsigned char code[kSha1Size];
            unsigned long length = sizeof code;
            hmac_done(&hmac, code, &length);
            ready = false;
        }
    }
};

HmacSha1::HmacSha1() : state_(std::make_unique<State>()) {}

HmacSha1::~HmacSha1() {
    state_->release();
    zeromem(&state_->hmac, sizeof state_->hmac);
}

bool HmacSha1::start(const std::uint8_t* key, std::size_t length) {
    state_->release();
    const int hash = sha1Index();
    if (length == 0) {
        key = &kZeroKey;
        length = 1;
    }
    state_->ready = hash >= 0 && hmac_init(&state_->hmac, hash, key,
                                           static_cast<unsigned long>(length)) == CRYPT_OK;
    return state_->ready;
}

bool HmacSha1::update(const std::uint8_t* data, std::size_t length) {
    return state_->ready &&
           (length == 0 ||
            hmac_process(&state_->hmac, data, static_cast<unsigned long>(length)) == CRYPT_OK);
}

bool HmacSha1::finish(std::uint8_t* code) {
    unsigned long length = kSha1Size;
    const bool done =
        state_->ready && hmac_done(&state_->hmac, code, &length) == CRYPT_OK && length == kSha1Size;
    state_->ready = false;
    return done;
}

bool pbkdf2HmacSha1(const std::string& password, const std::uint8_t* salt, std::size_t saltLength,
                    unsigned iterations, std::uint8_t* out, std::size_t length) {
    const int hash = sha1Index();
    unsigned long produced = static_cast<unsigned long>(length);
    const auto* bytes =
        password.empty() ? &kZeroKey : reinterpret_cast<const unsigned char*>(password.data());
    const unsigned long size = password.empty() ? 1 : static_cast<unsigned long>(password.size());
    return hash >= 0 &&
           pkcs_5_alg2(bytes, size, salt, static_cast<unsigned long>(saltLength),
                       static_cast<int>(iterations), hash, out, &produced) == CRYPT_OK &&
           produced == length;
}

bool randomBytes(std::uint8_t* out, std::size_t length) {
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n = ::getrandom(out + done, length - done, 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace crypto
}  // namespace platform
