#pragma once
// Rows of texts held as UTF-8 in large blocks. A list of a million records
// keeps each text in a few bytes of a shared block instead of a string
// object of its own, fills without a heap allocation per text and is freed
// at once.
#include <QByteArrayView>
#include <QString>

#include <deque>
#include <initializer_list>
#include <memory>
#include <span>
#include <vector>

namespace brenvoll {

class PackedTexts
{
public:
    PackedTexts() = default;
    PackedTexts(PackedTexts&& other) noexcept { *this = std::move(other); }
    PackedTexts& operator=(PackedTexts&& other) noexcept;

    // Adds a row of texts (UTF-8); rows are numbered from 0 in the order
    // they are added.
    void append(std::span<const QByteArrayView> texts);
    void append(std::initializer_list<QByteArrayView> texts)
    {
        append(std::span(texts.begin(), texts.size()));
    }
    qsizetype size() const { return qsizetype(m_rows.size()); }
    // Text `column` of row `row` as it was added; valid while the rows live.
    QByteArrayView text(qsizetype row, int column) const;
    QString string(qsizetype row, int column) const { return QString::fromUtf8(text(row, column)); }
    void clear();
    // Drops every row but keeps the first block, to be filled again without
    // taking fresh memory.
    void rewind();
    // Takes over the rows of `other`, which is left empty. Both hold their
    // rows in descending byte order of text `column` (the order of the
    // engine's "order by ... desc" on text); the rows of both then stand here
    // in that order, a row of this one before an equal row of `other`. No
    // text is copied: the blocks of `other` are taken over with its rows.
    void mergeDescending(PackedTexts&& other, int column);

private:
    char* room(qsizetype bytes);
    static QByteArrayView text(const char* at, int column);

    std::vector<std::unique_ptr<char[]>> m_blocks;
    char* m_next = nullptr; // free space in the last block
    qsizetype m_left = 0;
    qsizetype m_firstBlock = 0; // size of the first block
    // Where each row starts: per text its length in 7-bit groups, then its
    // bytes. A deque grows without moving what it holds.
    std::deque<const char*> m_rows;
};

} // namespace brenvoll
