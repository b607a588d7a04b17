#pragma once

#include <windows.h>
#include <bcrypt.h>

#include <string>
#include <string_view>

#include "framework/handles.h"
#include "updater/signed_list.h"

// The system's cryptography (CNG) for the update chain: SHA-256, ECDSA P-256 verification and
// random names. Every failure of the system calls reads as "not verified".

struct AlgorithmTraits {
    using Type = BCRYPT_ALG_HANDLE;
    static Type Empty() { return nullptr; }
    static void Close(Type h) { BCryptCloseAlgorithmProvider(h, 0); }
};
struct HashTraits {
    using Type = BCRYPT_HASH_HANDLE;
    static Type Empty() { return nullptr; }
    static void Close(Type h) { BCryptDestroyHash(h); }
};
using AlgorithmHandle = UniqueHandle<AlgorithmTraits>;
using HashHandle = UniqueHandle<HashTraits>;

// SHA-256 of data that arrives in pieces.
class CSha256 {
public:
    CSha256();
    // False once any step has failed; Finish then fails too.
    bool Update(const void* data, size_t size);
    bool Finish(SHA256_DIGEST& digest);

private:
    AlgorithmHandle m_algorithm;
    HashHandle m_hash;
    bool m_bFailed = false;
};

// SHA-256 of everything an open file holds, read from its start through the handle.
bool HashFile(HANDLE file, SHA256_DIGEST& digest);

// True when signature is key's ECDSA P-256 signature of SHA-256 of data.
bool VerifySignature(const P256_PUBLIC_KEY& key, std::string_view data, const SIGNATURE& signature);

// The public key the build names (HIVORA_UPDATE_PUBLIC_KEY), which update lists must be signed with.
const P256_PUBLIC_KEY& UpdateListKey();

// Hex digits of count bytes from the system's random generator; empty on failure.
std::string RandomHex(size_t count);
