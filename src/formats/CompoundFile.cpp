#include "CompoundFile.h"

#include <QIODevice>
#include <QtEndian>

#include <algorithm>

namespace brenvoll::cfb {

namespace {

constexpr qint64 kSector = 512;
constexpr quint32 kFatPerSector = 128;
constexpr quint32 kDifatInHeader = 109;
constexpr quint32 kDifatPerSector = 127;
constexpr quint32 kFreeSect = 0xFFFFFFFF;
constexpr quint32 kEndOfChain = 0xFFFFFFFE;
constexpr quint32 kFatSect = 0xFFFFFFFD;
constexpr quint32 kDifSect = 0xFFFFFFFC;
constexpr quint32 kNoStream = 0xFFFFFFFF;
constexpr qint64 kMiniStreamCutoff = 4096;

// Where everything lies: the stream from sector 0, then one directory
// sector, the FAT sectors and the DIFAT sectors.
struct Layout
{
    quint32 streamSectors = 0;
    quint32 directory = 0;
    quint32 fatSectors = 0;
    quint32 difatSectors = 0;

    quint32 firstFat() const { return directory + 1; }
    quint32 firstDifat() const { return firstFat() + fatSectors; }
    quint32 total() const { return firstDifat() + difatSectors; }
};

qint64 paddedSize(qint64 streamSize)
{
    return std::max(streamSize, kMiniStreamCutoff);
}

Layout layoutFor(qint64 streamSize)
{
    Layout l;
    l.streamSectors = quint32((paddedSize(streamSize) + kSector - 1) / kSector);
    l.directory = l.streamSectors;
    // FAT and DIFAT sectors are listed in the FAT themselves: grow them
    // until they cover every sector including their own.
    for (;;) {
        const quint32 sectors = l.streamSectors + 1 + l.fatSectors + l.difatSectors;
        const quint32 fat = (sectors + kFatPerSector - 1) / kFatPerSector;
        const quint32 difat =
            fat > kDifatInHeader ? (fat - kDifatInHeader + kDifatPerSector - 1) / kDifatPerSector : 0;
        if (fat == l.fatSectors && difat == l.difatSectors) {
            return l;
        }
        l.fatSectors = fat;
        l.difatSectors = difat;
    }
}

class Sector
{
public:
    Sector() : m_bytes(int(kSector), '\0') {}
    void u8(int at, quint8 v) { m_bytes[at] = char(v); }
    void u16(int at, quint16 v) { qToLittleEndian<quint16>(v, m_bytes.data() + at); }
    void u32(int at, quint32 v) { qToLittleEndian<quint32>(v, m_bytes.data() + at); }
    void fill32(int from, int to, quint32 v)
    {
        for (int at = from; at < to; at += 4) {
            u32(at, v);
        }
    }
    const QByteArray& bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

Sector header(const Layout& l)
{
    Sector h;
    static const quint8 signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    for (int i = 0; i < 8; ++i) {
        h.u8(i, signature[i]);
    }
    h.u16(0x18, 0x003E); // minor version
    h.u16(0x1A, 0x0003); // major version 3
    h.u16(0x1C, 0xFFFE); // little-endian
    h.u16(0x1E, 9);      // 512-byte sectors
    h.u16(0x20, 6);      // 64-byte mini sectors
    h.u32(0x28, 0);      // directory sector count: always 0 in version 3
    h.u32(0x2C, l.fatSectors);
    h.u32(0x30, l.directory);
    h.u32(0x34, 0);
    h.u32(0x38, quint32(kMiniStreamCutoff));
    h.u32(0x3C, kEndOfChain); // no mini FAT
    h.u32(0x40, 0);
    h.u32(0x44, l.difatSectors ? l.firstDifat() : kEndOfChain);
    h.u32(0x48, l.difatSectors);
    h.fill32(0x4C, int(kSector), kFreeSect);
    for (quint32 i = 0; i < std::min(l.fatSectors, kDifatInHeader); ++i) {
        h.u32(int(0x4C + 4 * i), l.firstFat() + i);
    }
    return h;
}

void directoryEntry(Sector& s, int slot, const QString& name, quint8 type, quint32 child, quint32 start,
                    quint32 size)
{
    const int at = slot * 128;
    for (int i = 0; i < name.size(); ++i) {
        s.u16(at + 2 * i, name[i].unicode());
    }
    s.u16(at + 0x40, quint16(2 * (name.size() + 1)));
    s.u8(at + 0x42, type);
    s.u8(at + 0x43, 1); // black
    s.u32(at + 0x44, kNoStream);
    s.u32(at + 0x48, kNoStream);
    s.u32(at + 0x4C, child);
    s.u32(at + 0x74, start);
    s.u32(at + 0x78, size);
}

Sector directory(const QString& name, quint32 streamSize)
{
    Sector s;
    directoryEntry(s, 0, QStringLiteral("Root Entry"), 5, 1, kEndOfChain, 0);
    directoryEntry(s, 1, name, 2, kNoStream, 0, streamSize);
    for (int slot = 2; slot < 4; ++slot) {
        s.u32(slot * 128 + 0x44, kNoStream);
        s.u32(slot * 128 + 0x48, kNoStream);
        s.u32(slot * 128 + 0x4C, kNoStream);
    }
    return s;
}

quint32 fatEntry(const Layout& l, quint32 sector)
{
    if (sector < l.streamSectors) {
        return sector + 1 < l.streamSectors ? sector + 1 : kEndOfChain;
    }
    if (sector == l.directory) {
        return kEndOfChain;
    }
    if (sector < l.firstDifat()) {
        return kFatSect;
    }
    if (sector < l.total()) {
        return kDifSect;
    }
    return kFreeSect;
}

bool put(QIODevice& device, const char* data, qint64 size)
{
    return device.write(data, size) == size;
}

} // namespace

qint64 fileSize(qint64 streamSize)
{
    return kSector * (1 + qint64(layoutFor(streamSize).total()));
}

bool write(QIODevice& device, const QString& name, const std::vector<QByteArrayView>& parts)
{
    qint64 streamSize = 0;
    for (const QByteArrayView part : parts) {
        streamSize += part.size();
    }
    const Layout l = layoutFor(streamSize);
    if (!put(device, header(l).bytes().constData(), kSector)) {
        return false;
    }
    for (const QByteArrayView part : parts) {
        if (!put(device, part.data(), part.size())) {
            return false;
        }
    }
    const qint64 padding = qint64(l.streamSectors) * kSector - streamSize;
    if (!put(device, QByteArray(int(padding), '\0').constData(), padding)) {
        return false;
    }
    const quint32 padded = quint32(paddedSize(streamSize));
    if (!put(device, directory(name, padded).bytes().constData(), kSector)) {
        return false;
    }

    for (quint32 f = 0; f < l.fatSectors; ++f) {
        Sector fat;
        for (quint32 i = 0; i < kFatPerSector; ++i) {
            fat.u32(int(4 * i), fatEntry(l, f * kFatPerSector + i));
        }
        if (!put(device, fat.bytes().constData(), kSector)) {
            return false;
        }
    }
    for (quint32 d = 0; d < l.difatSectors; ++d) {
        Sector difat;
        difat.fill32(0, int(kSector), kFreeSect);
        for (quint32 i = 0; i < kDifatPerSector; ++i) {
            const quint32 fatIndex = kDifatInHeader + d * kDifatPerSector + i;
            if (fatIndex < l.fatSectors) {
                difat.u32(int(4 * i), l.firstFat() + fatIndex);
            }
        }
        difat.u32(int(4 * kDifatPerSector), d + 1 < l.difatSectors ? l.firstDifat() + d + 1 : kEndOfChain);
        if (!put(device, difat.bytes().constData(), kSector)) {
            return false;
        }
    }
    return true;
}

} // namespace brenvoll::cfb
