#include "PasswordHash.h"

#include <sodium.h>

namespace brenvoll {

namespace {
bool ready()
{
    static const bool ok = sodium_init() >= 0;
    return ok;
}
} // namespace

QString PasswordHash::make(const QString& password)
{
    if (!ready()) {
        return {};
    }
    const QByteArray utf8 = password.toUtf8();
    char hash[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(hash, utf8.constData(), quint64(utf8.size()), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0) {
        return {};
    }
    return QString::fromLatin1(hash);
}

bool PasswordHash::verify(const QString& password, const QString& hash)
{
    if (!ready() || hash.isEmpty() || hash.size() >= crypto_pwhash_STRBYTES) {
        return false;
    }
    const QByteArray stored = hash.toLatin1();
    const QByteArray utf8 = password.toUtf8();
    return crypto_pwhash_str_verify(stored.constData(), utf8.constData(), quint64(utf8.size())) == 0;
}

} // namespace brenvoll
