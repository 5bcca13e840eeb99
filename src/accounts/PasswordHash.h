#pragma once
// Passwords of accounts are kept only as salted slow hashes: Argon2id through
// libsodium's password-hashing API, in its self-describing string form
// ("$argon2id$v=19$m=…"), which carries its salt and its cost.
#include <QString>

namespace brenvoll {

class PasswordHash
{
public:
    // A new hash of `password` with a fresh salt; empty when libsodium could
    // not be used (out of memory).
    static QString make(const QString& password);
    // Whether `password` is the one `hash` was made of; false for an empty or
    // malformed hash.
    static bool verify(const QString& password, const QString& hash);
};

} // namespace brenvoll
