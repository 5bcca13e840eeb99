#pragma once
// The compound file container (version 3, 512-byte sectors) around a single
// stream, as Excel 97-2003 keeps its Workbook stream.
#include <QByteArray>
#include <QString>

#include <functional>

class QIODevice;

namespace brenvoll::cfb {

// Called with bytes written so far and the total.
using Progress = std::function<void(qint64 done, qint64 total)>;

// Writes a compound file holding `stream` under `name` (at most 31
// characters). Streams shorter than 4096 bytes are padded with zeros so that
// no mini stream is needed. False with the device's reason when a write fails.
bool write(QIODevice& device, const QString& name, const QByteArray& stream, const Progress& progress = {});

// Size of the file write() produces for a stream of `streamSize` bytes.
qint64 fileSize(qint64 streamSize);

} // namespace brenvoll::cfb
