#include "updater/crypto.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "framework/hex.h"
#include "update_key.h"

namespace {

constexpr P256_PUBLIC_KEY DecodeBuildKey()
{
    P256_PUBLIC_KEY key {};
    DecodeP256PublicKey(HIVORA_UPDATE_KEY_BASE64, key);
    return key;
}

constexpr bool BuildKeyDecodes()
{
    P256_PUBLIC_KEY key {};
    return DecodeP256PublicKey(HIVORA_UPDATE_KEY_BASE64, key);
}

static_assert(BuildKeyDecodes(), "HIVORA_UPDATE_PUBLIC_KEY is not an ECDSA P-256 public key");

constexpr P256_PUBLIC_KEY kUpdateListKey = DecodeBuildKey();

struct KeyTraits {
    using Type = BCRYPT_KEY_HANDLE;
    static Type Empty() { return nullptr; }
    static void Close(Type h) { BCryptDestroyKey(h); }
};
using KeyHandle = UniqueHandle<KeyTraits>;

bool Succeeded(NTSTATUS status)
{
    return status >= 0;
}

} // namespace

CSha256::CSha256()
{
    m_bFailed = !Succeeded(BCryptOpenAlgorithmProvider(m_algorithm.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ||
                !Succeeded(BCryptCreateHash(m_algorithm.get(), m_hash.put(), nullptr, 0, nullptr, 0, 0));
}

bool CSha256::Update(const void* data, size_t size)
{
    auto bytes = static_cast<const UCHAR*>(data);
    while (!m_bFailed && size > 0) {
        const ULONG piece = static_cast<ULONG>(std::min<size_t>(size, std::numeric_limits<ULONG>::max()));
        m_bFailed = !Succeeded(BCryptHashData(m_hash.get(), const_cast<UCHAR*>(bytes), piece, 0));
        bytes += piece;
        size -= piece;
    }
    return !m_bFailed;
}

bool CSha256::Finish(SHA256_DIGEST& digest)
{
    if (m_bFailed)
        return false;
    m_bFailed = true;
    return Succeeded(BCryptFinishHash(m_hash.get(), digest.data(), static_cast<ULONG>(digest.size()), 0));
}

bool HashFile(HANDLE file, SHA256_DIGEST& digest)
{
    LARGE_INTEGER start {};
    if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN))
        return false;
    CSha256 sha;
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr))
            return false;
        if (read == 0)
            return sha.Finish(digest);
        if (!sha.Update(buffer.data(), read))
            return false;
    }
}

bool VerifySignature(const P256_PUBLIC_KEY& key, std::string_view data, const SIGNATURE& signature)
{
    AlgorithmHandle ecdsa;
    if (!Succeeded(BCryptOpenAlgorithmProvider(ecdsa.put(), BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0)))
        return false;
    struct {
        BCRYPT_ECCKEY_BLOB header;
        UCHAR xy[64];
    } blob {};
    blob.header.dwMagic = BCRYPT_ECDSA_PUBLIC_P256_MAGIC;
    blob.header.cbKey = 32;
    std::copy(key.begin(), key.end(), blob.xy);
    KeyHandle imported;
    if (!Succeeded(BCryptImportKeyPair(ecdsa.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, imported.put(),
                                       reinterpret_cast<PUCHAR>(&blob), sizeof blob, 0)))
        return false;

    CSha256 sha;
    SHA256_DIGEST digest {};
    if (!sha.Update(data.data(), data.size()) || !sha.Finish(digest))
        return false;
    SIGNATURE copy = signature;
    return BCryptVerifySignature(imported.get(), nullptr, digest.data(), static_cast<ULONG>(digest.size()), copy.data(),
                                 static_cast<ULONG>(copy.size()), 0) == 0;
}

const P256_PUBLIC_KEY& UpdateListKey()
{
    return kUpdateListKey;
}

std::string RandomHex(size_t count)
{
    std::vector<uint8_t> bytes(count);
    if (!Succeeded(BCryptGenRandom(nullptr, bytes.data(), static_cast<ULONG>(bytes.size()), BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
        return {};
    return HexText(bytes.data(), bytes.size());
}
