#include "PackedTexts.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <utility>

namespace brenvoll {

namespace {
constexpr qsizetype kBlock = qsizetype(1) << 20;

int lengthBytes(qsizetype length)
{
    int bytes = 1;
    while (length >= 0x80) {
        length >>= 7;
        ++bytes;
    }
    return bytes;
}
} // namespace

PackedTexts& PackedTexts::operator=(PackedTexts&& other) noexcept
{
    m_blocks = std::exchange(other.m_blocks, {});
    m_rows = std::exchange(other.m_rows, {});
    m_next = std::exchange(other.m_next, nullptr);
    m_left = std::exchange(other.m_left, 0);
    m_firstBlock = std::exchange(other.m_firstBlock, 0);
    return *this;
}

char* PackedTexts::room(qsizetype bytes)
{
    if (bytes > m_left) {
        const qsizetype size = std::max(bytes, kBlock);
        m_firstBlock = m_blocks.empty() ? size : m_firstBlock;
        m_blocks.push_back(std::make_unique_for_overwrite<char[]>(size_t(size)));
        m_next = m_blocks.back().get();
        m_left = size;
    }
    char* at = m_next;
    m_next += bytes;
    m_left -= bytes;
    return at;
}

void PackedTexts::append(std::span<const QByteArrayView> texts)
{
    qsizetype bytes = 0;
    for (const QByteArrayView text : texts) {
        bytes += lengthBytes(text.size()) + text.size();
    }
    char* at = room(bytes);
    m_rows.push_back(at);
    for (const QByteArrayView text : texts) {
        qsizetype length = text.size();
        for (; length >= 0x80; length >>= 7) {
            *at++ = char((length & 0x7F) | 0x80);
        }
        *at++ = char(length);
        if (!text.isEmpty()) {
            std::memcpy(at, text.data(), size_t(text.size()));
            at += text.size();
        }
    }
}

QByteArrayView PackedTexts::text(qsizetype row, int column) const
{
    return text(m_rows[size_t(row)], column);
}

QByteArrayView PackedTexts::text(const char* at, int column)
{
    for (;;) {
        qsizetype length = 0;
        for (int shift = 0;; shift += 7) {
            const auto byte = quint8(*at++);
            length |= qsizetype(byte & 0x7F) << shift;
            if (byte < 0x80) {
                break;
            }
        }
        if (column-- == 0) {
            return QByteArrayView(at, length);
        }
        at += length;
    }
}

void PackedTexts::mergeDescending(PackedTexts&& other, int column)
{
    if (other.m_rows.empty()) {
        other.clear();
        return;
    }
    if (m_rows.empty()) {
        *this = std::move(other);
        return;
    }
    std::deque<const char*> rows;
    auto mine = m_rows.cbegin();
    auto theirs = other.m_rows.cbegin();
    while (mine != m_rows.cend() && theirs != other.m_rows.cend()) {
        if (text(*mine, column) < text(*theirs, column)) {
            rows.push_back(*theirs++);
        } else {
            rows.push_back(*mine++);
        }
    }
    rows.insert(rows.end(), mine, m_rows.cend());
    rows.insert(rows.end(), theirs, other.m_rows.cend());
    m_rows = std::move(rows);
    std::move(other.m_blocks.begin(), other.m_blocks.end(), std::back_inserter(m_blocks));
    other.clear();
}

void PackedTexts::clear()
{
    *this = PackedTexts();
}

void PackedTexts::rewind()
{
    m_rows.clear();
    if (!m_blocks.empty()) {
        m_blocks.resize(1);
        m_next = m_blocks.front().get();
        m_left = m_firstBlock;
    }
}

} // namespace brenvoll
