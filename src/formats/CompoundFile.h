#pragma once
// The compound file container (version 3, 512-byte sectors) around a single
// stream, as Excel 97-2003 keeps its Workbook stream.
#include <QByteArrayView>
#include <QString>

#include <vector>

class QIODevice;

namespace brenvoll::cfb {

// Writes a compound file holding the stream made of `parts`, in order, under
// `name` (at most 31 characters), in one pass: header, stream, directory and
// allocation tables. Streams shorter than 4096 bytes are padded with zeros so
// that no mini stream is needed. False with the device's reason when a write
// fails.
bool write(QIODevice& device, const QString& name, const std::vector<QByteArrayView>& parts);

// Size of the file write() produces for a stream of `streamSize` bytes.
qint64 fileSize(qint64 streamSize);

} // namespace brenvoll::cfb
