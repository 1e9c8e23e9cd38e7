#include "platform/Crypto.h"

#include <windows.h>
#include <bcrypt.h>

namespace platform {
namespace crypto {

namespace {

// bcrypt.dll is loaded from the system folder when first needed, never imported: a program
// started from a Downloads folder must not pick up a bcrypt.dll planted beside it, and a stub
// that never meets an encrypted entry never loads it at all.
struct Functions {
    decltype(&BCryptOpenAlgorithmProvider) openAlgorithmProvider = nullptr;
    decltype(&BCryptSetProperty) setProperty = nullptr;
    decltype(&BCryptGenerateSymmetricKey) generateSymmetricKey = nullptr;
    decltype(&BCryptEncrypt) encrypt = nullptr;
    decltype(&BCryptDestroyKey) destroyKey = nullptr;
    decltype(&BCryptCreateHash) createHash = nullptr;
    decltype(&BCryptHashData) hashData = nullptr;
    decltype(&BCryptFinishHash) finishHash = nullptr;
    decltype(&BCryptDestroyHash) destroyHash = nullptr;
    decltype(&BCryptDeriveKeyPBKDF2) deriveKeyPbkdf2 = nullptr;
    decltype(&BCryptGenRandom) genRandom = nullptr;
    // Opened once and kept for the life of the process.
    BCRYPT_ALG_HANDLE aes = nullptr;
    BCRYPT_ALG_HANDLE hmacSha1 = nullptr;
};

// HMAC pads a key with zeros to the block size: an empty key is the same as one zero byte, which
// the system takes where it may refuse an empty one.
const std::uint8_t kZeroKey = 0;

// Plain data, set up by loaded(): no guard for a function's static is wanted in the stub.
Functions functions;
bool tried = false;
bool available = false;

template <typename Function>
bool find(HMODULE module, const char* name, Function& function) {
    function =
        reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
    return function != nullptr;
}

HMODULE loadFromSystemFolder() {
    HMODULE module = LoadLibraryExW(L"bcrypt.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module != nullptr) {
        return module;
    }
    // Windows 7 without the update that brought the flag refuses it: the full path of the
    // system folder's copy names the same file.
    wchar_t path[MAX_PATH + 16] = {};
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return nullptr;
    }
    lstrcatW(path, L"\\bcrypt.dll");
    return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

bool loaded() {
    if (tried) {
        return available;
    }
    tried = true;
    const HMODULE module = loadFromSystemFolder();
    Functions& f = functions;
    available = module != nullptr &&
                find(module, "BCryptOpenAlgorithmProvider", f.openAlgorithmProvider) &&
                find(module, "BCryptSetProperty", f.setProperty) &&
                find(module, "BCryptGenerateSymmetricKey", f.generateSymmetricKey) &&
                find(module, "BCryptEncrypt", f.encrypt) &&
                find(module, "BCryptDestroyKey", f.destroyKey) &&
                find(module, "BCryptCreateHash", f.createHash) &&
                find(module, "BCryptHashData", f.hashData) &&
                find(module, "BCryptFinishHash", f.finishHash) &&
                find(module, "BCryptDestroyHash", f.destroyHash) &&
                find(module, "BCryptDeriveKeyPBKDF2", f.deriveKeyPbkdf2) &&
                find(module, "BCryptGenRandom", f.genRandom);
    if (!available) {
        return false;
    }
    available = BCRYPT_SUCCESS(f.openAlgorithmProvider(&f.aes, BCRYPT_AES_ALGORITHM, nullptr, 0)) &&
                BCRYPT_SUCCESS(f.setProperty(
                    f.aes, BCRYPT_CHAINING_MODE,
                    reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(BCRYPT_CHAIN_MODE_ECB)),
                    sizeof(BCRYPT_CHAIN_MODE_ECB), 0)) &&
                BCRYPT_SUCCESS(f.openAlgorithmProvider(&f.hmacSha1, BCRYPT_SHA1_ALGORITHM, nullptr,
                                                       BCRYPT_ALG_HANDLE_HMAC_FLAG));
    return available;
}

}  // namespace

struct Aes::State {
    BCRYPT_KEY_HANDLE key = nullptr;

    void release() {
        if (key != nullptr) {
            functions.destroyKey(key);
            key = nullptr;
        }
    }
};

Aes::Aes() : state_(std::make_unique<State>()) {}

Aes::~Aes() {
    state_->release();
}

bool Aes::setKey(const std::uint8_t* key, std::size_t length) {
    state_->release();
    if ((length != 16 && length != 24 && length != 32) || !loaded()) {
        return false;
    }
    return BCRYPT_SUCCESS(functions.generateSymmetricKey(functions.aes, &state_->key, nullptr, 0,
                                                         const_cast<PUCHAR>(key),
                                                         static_cast<ULONG>(length), 0));
}

bool Aes::encryptBlocks(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) {
    if (state_->key == nullptr) {
        return false;
    }
    const ULONG length = static_cast<ULONG>(blocks * kAesBlockSize);
    ULONG written = 0;
    return BCRYPT_SUCCESS(functions.encrypt(state_->key, const_cast<PUCHAR>(in), length, nullptr,
                                            nullptr, 0, out, length, &written, 0)) &&
           written == length;
}

struct HmacSha1::State {
    BCRYPT_HASH_HANDLE hash = nullptr;

    void release() {
        if (hash != nullptr) {
            functions.destroyHash(hash);
            hash = nullptr;
        }
    }
};

HmacSha1::HmacSha1() : state_(std::make_unique<State>()) {}

HmacSha1::~HmacSha1() {
    state_->release();
}

bool HmacSha1::start(const std::uint8_t* key, std::size_t length) {
    state_->release();
    if (!loaded()) {
        return false;
    }
    if (length == 0) {
        key = &kZeroKey;
        length = 1;
    }
    return BCRYPT_SUCCESS(functions.createHash(functions.hmacSha1, &state_->hash, nullptr, 0,
                                               const_cast<PUCHAR>(key), static_cast<ULONG>(length),
                                               0));
}

bool HmacSha1::update(const std::uint8_t* data, std::size_t length) {
    return state_->hash != nullptr &&
           (length == 0 || BCRYPT_SUCCESS(functions.hashData(state_->hash, const_cast<PUCHAR>(data),
                                                             static_cast<ULONG>(length), 0)));
}

bool HmacSha1::finish(std::uint8_t* code) {
    const bool done = state_->hash != nullptr &&
                      BCRYPT_SUCCESS(functions.finishHash(state_->hash, code, kSha1Size, 0));
    state_->release();
    return done;
}

bool pbkdf2HmacSha1(const std::string& password, const std::uint8_t* salt, std::size_t saltLength,
                    unsigned iterations, std::uint8_t* out, std::size_t length) {
    if (!loaded()) {
        return false;
    }
    // The empty password as the one zero byte that means the same.
    const auto* bytes =
        password.empty() ? &kZeroKey : reinterpret_cast<const std::uint8_t*>(password.data());
    const ULONG size = password.empty() ? 1 : static_cast<ULONG>(password.size());
    return BCRYPT_SUCCESS(functions.deriveKeyPbkdf2(
        functions.hmacSha1, const_cast<PUCHAR>(bytes), size, const_cast<PUCHAR>(salt),
        static_cast<ULONG>(saltLength), iterations, out, static_cast<ULONG>(length), 0));
}

bool randomBytes(std::uint8_t* out, std::size_t length) {
    return loaded() && BCRYPT_SUCCESS(functions.genRandom(nullptr, out, static_cast<ULONG>(length),
                                                          BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

}  // namespace crypto
}  // namespace platform
