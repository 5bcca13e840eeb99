#include "PdfTextMap.h"

#include <QList>
#include <QRawFont>
#include <QRegularExpression>
#include <QString>
#include <QtEndian>

#include <algorithm>
#include <map>
#include <optional>
#include <vector>

namespace brenvoll::pdf {

namespace {

// One indirect object as it stands in the file: from "n 0 obj" up to the
// next object.
struct PdfObject
{
    int number = 0;
    QByteArray bytes;
};

struct XrefEntry
{
    qint64 offset = 0;
    int generation = 0;
    bool used = false;
};

// A file as Qt writes it: a header, the objects one after another, one
// cross-reference table and the trailer.
struct PdfFile
{
    QByteArray header;
    std::vector<PdfObject> objects; // in file order
    std::vector<XrefEntry> xref;    // by object number
    std::vector<int> indexOf;       // by object number: its place in `objects`, or -1
    QByteArray trailer;             // "trailer" up to "startxref"

    // A document of a thousand pages holds thousands of objects, looked up
    // by number for every page.
    PdfObject* object(int number)
    {
        const int index = number >= 0 && size_t(number) < indexOf.size() ? indexOf[size_t(number)] : -1;
        return index < 0 ? nullptr : &objects[size_t(index)];
    }
};

// The next non-empty line from `pos`, trimmed; `pos` moves past it.
QByteArray nextLine(const QByteArray& file, qsizetype& pos)
{
    while (pos < file.size() && (file[pos] == '\r' || file[pos] == '\n')) {
        ++pos;
    }
    qsizetype end = pos;
    while (end < file.size() && file[end] != '\r' && file[end] != '\n') {
        ++end;
    }
    QByteArray line = file.mid(pos, end - pos).trimmed();
    pos = end;
    return line;
}

std::optional<PdfFile> parse(const QByteArray& file)
{
    PdfFile pdf;
    const qsizetype startxref = file.lastIndexOf("startxref");
    if (startxref < 0) {
        return std::nullopt;
    }
    qsizetype pos = startxref + 9;
    bool ok = false;
    const qint64 xref = nextLine(file, pos).toLongLong(&ok);
    if (!ok || xref <= 0 || xref >= startxref || file.mid(xref, 4) != "xref") {
        return std::nullopt;
    }
    pos = xref + 4;
    const QList<QByteArray> section = nextLine(file, pos).split(' ');
    const int count = section.value(1).toInt(&ok);
    if (section.size() != 2 || section[0] != "0" || !ok || count < 1) {
        return std::nullopt;
    }
    for (int n = 0; n < count; ++n) {
        const QList<QByteArray> entry = nextLine(file, pos).split(' ');
        if (entry.size() != 3) {
            return std::nullopt;
        }
        pdf.xref.push_back({entry[0].toLongLong(), entry[1].toInt(), entry[2] == "n"});
    }
    const qsizetype trailer = file.indexOf("trailer", pos);
    if (trailer < 0 || trailer > startxref) {
        return std::nullopt;
    }
    pdf.trailer = file.mid(trailer, startxref - trailer);

    std::vector<std::pair<qint64, int>> starts;
    for (int n = 0; n < count; ++n) {
        if (pdf.xref[n].used) {
            starts.emplace_back(pdf.xref[n].offset, n);
        }
    }
    std::sort(starts.begin(), starts.end());
    if (starts.empty()) {
        return std::nullopt;
    }
    pdf.header = file.left(starts.front().first);
    for (size_t i = 0; i < starts.size(); ++i) {
        const qint64 end = i + 1 < starts.size() ? starts[i + 1].first : xref;
        PdfObject object{starts[i].second, file.mid(starts[i].first, end - starts[i].first)};
        if (!object.bytes.startsWith(QByteArray(QByteArray::number(object.number) + " 0 obj"))) {
            return std::nullopt;
        }
        pdf.objects.push_back(std::move(object));
    }
    pdf.indexOf.assign(pdf.xref.size(), -1);
    for (size_t i = 0; i < pdf.objects.size(); ++i) {
        pdf.indexOf[size_t(pdf.objects[i].number)] = int(i);
    }
    return pdf;
}

QByteArray write(const PdfFile& pdf)
{
    QByteArray out = pdf.header;
    std::vector<qint64> offsets(pdf.xref.size(), 0);
    for (const PdfObject& object : pdf.objects) {
        offsets[object.number] = out.size();
        out += object.bytes;
    }
    const qint64 xref = out.size();
    out += "xref\n0 " + QByteArray::number(qsizetype(pdf.xref.size())) + '\n';
    for (size_t n = 0; n < pdf.xref.size(); ++n) {
        const XrefEntry& e = pdf.xref[n];
        out += QByteArray::number(e.used ? offsets[n] : e.offset).rightJustified(10, '0') + ' ' +
               QByteArray::number(e.generation).rightJustified(5, '0') + (e.used ? " n \n" : " f \n");
    }
    out += pdf.trailer + "startxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    return out;
}

// The dictionary of an object: all of it before its stream, if it has one.
QString dictionaryOf(const PdfObject& object)
{
    const qsizetype stream = object.bytes.indexOf("stream");
    return QString::fromLatin1(stream < 0 ? object.bytes : object.bytes.left(stream));
}

// The object number a key refers to ("/ToUnicode 15 0 R", "/DescendantFonts
// [14 0 R]"), or -1.
int referenceOf(const QString& dictionary, const QString& key)
{
    const QRegularExpression re(QRegularExpression::escape(key) +
                                QStringLiteral(R"(\s*\[?\s*(\d+)\s+\d+\s+R)"));
    const auto m = re.match(dictionary);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// The name a key gives ("/BaseFont /Name"), or an empty text.
QString nameAfter(const QString& dictionary, const QString& key)
{
    const QRegularExpression re(QRegularExpression::escape(key) + QStringLiteral(R"(\s*/([^\s/\[\]<>()]+))"));
    return re.match(dictionary).captured(1);
}

// Gives a font's dictionary the subset's name, "ABCDEF+Name", where it names
// the font without the tag.
bool nameAsSubset(PdfObject& font, const QString& subsetName)
{
    const QString name = nameAfter(dictionaryOf(font), QStringLiteral("/BaseFont"));
    if (name.isEmpty() || name.contains(u'+') || !subsetName.endsWith(u'+' + name)) {
        return false;
    }
    font.bytes.replace(QByteArray("/BaseFont /" + name.toLatin1()),
                       QByteArray("/BaseFont /" + subsetName.toLatin1()));
    return true;
}

// A text map: character code to text, as its bfchar and bfrange entries say.
using TextMap = std::map<int, QString>;

QString textOfHex(const QByteArray& hex)
{
    QString text;
    for (qsizetype i = 0; i + 4 <= hex.size(); i += 4) {
        text += QChar(char16_t(hex.mid(i, 4).toUShort(nullptr, 16)));
    }
    return text;
}

QByteArray hex4(unsigned value)
{
    return QByteArray::number(value, 16).toUpper().rightJustified(4, '0');
}

QByteArray hexOfText(const QString& text)
{
    QByteArray hex;
    for (QChar c : text) {
        hex += hex4(c.unicode());
    }
    return hex;
}

QList<QByteArray> tokensOf(const QByteArray& cmap)
{
    QList<QByteArray> tokens;
    qsizetype i = 0;
    while (i < cmap.size()) {
        const char c = cmap[i];
        if (c == '<') {
            const qsizetype end = cmap.indexOf('>', i);
            if (end < 0) {
                break;
            }
            tokens << cmap.mid(i, end - i + 1);
            i = end + 1;
        } else if (c == '[' || c == ']') {
            tokens << QByteArray(1, c);
            ++i;
        } else if (QChar::isSpace(uchar(c))) {
            ++i;
        } else {
            qsizetype end = i;
            while (end < cmap.size() && !QChar::isSpace(uchar(cmap[end])) && cmap[end] != '<' &&
                   cmap[end] != '[') {
                ++end;
            }
            tokens << cmap.mid(i, end - i);
            i = end;
        }
    }
    return tokens;
}

int codeOf(const QByteArray& token)
{
    return token.mid(1, token.size() - 2).toInt(nullptr, 16);
}

QString textOf(const QByteArray& token)
{
    return textOfHex(token.mid(1, token.size() - 2));
}

TextMap parseTextMap(const QByteArray& cmap)
{
    TextMap map;
    const QList<QByteArray> t = tokensOf(cmap);
    qsizetype k = 0;
    auto more = [&](const char* end, qsizetype need) { return k + need <= t.size() && t[k] != end; };
    while (k < t.size()) {
        if (t[k] == "beginbfchar") {
            ++k;
            for (; more("endbfchar", 2); k += 2) {
                map[codeOf(t[k])] = textOf(t[k + 1]);
            }
        } else if (t[k] == "beginbfrange") {
            ++k;
            while (more("endbfrange", 3)) {
                const int low = codeOf(t[k]);
                const int high = codeOf(t[k + 1]);
                k += 2;
                if (t[k] == "[") {
                    for (int code = low; ++k < t.size() && t[k] != "]"; ++code) {
                        map[code] = textOf(t[k]);
                    }
                    ++k;
                    continue;
                }
                QString text = textOf(t[k++]);
                for (int code = low; code <= high && !text.isEmpty(); ++code) {
                    map[code] = text;
                    text.back() = QChar(char16_t(text.back().unicode() + 1));
                }
            }
        }
        ++k;
    }
    return map;
}

QByteArray textMapStream(const TextMap& map)
{
    QByteArray cmap = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                      "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                      "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
                      "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    // A block holds at most 100 entries.
    auto it = map.begin();
    while (it != map.end()) {
        QByteArray block;
        int n = 0;
        for (; it != map.end() && n < 100; ++it, ++n) {
            block += '<' + hex4(unsigned(it->first)) + "> <" + hexOfText(it->second) + ">\n";
        }
        cmap += QByteArray::number(n) + " beginbfchar\n" + block + "endbfchar\n";
    }
    return cmap + "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
}

// A Type0 font's text map as its ToUnicode stream holds it.
struct FontTextMap
{
    PdfObject* stream = nullptr; // the ToUnicode object
    TextMap map;
    bool changed = false;
};

// The text map of an uncompressed ToUnicode stream, as Qt writes them.
std::optional<TextMap> readTextMap(const PdfObject& object)
{
    const QString dictionary = dictionaryOf(object);
    static const QRegularExpression directLength(QStringLiteral(R"(/Length\s+(\d+)\b(?!\s+\d+\s+R))"));
    const auto length = directLength.match(dictionary);
    if (dictionary.contains(QStringLiteral("/Filter")) || !length.hasMatch()) {
        return std::nullopt;
    }
    qsizetype start = object.bytes.indexOf("stream") + 6;
    start += object.bytes.mid(start, 2) == "\r\n" ? 2 : 1;
    return parseTextMap(object.bytes.mid(start, length.captured(1).toLongLong()));
}

void writeTextMap(FontTextMap& font)
{
    const QByteArray stream = textMapStream(font.map);
    PdfObject& object = *font.stream;
    object.bytes = QByteArray::number(object.number) + " 0 obj\n<< /Length " +
                   QByteArray::number(stream.size()) + " >>\nstream\n" + stream + "\nendstream\nendobj\n";
}

// Puts the ideographs in place of the characters that share their glyphs.
void mapToIdeographs(FontTextMap& font, const QHash<char16_t, char16_t>& ideographs)
{
    for (auto& [code, text] : font.map) {
        const auto ideograph = text.size() == 1 ? ideographs.find(text[0].unicode()) : ideographs.end();
        if (ideograph != ideographs.end()) {
            text = QChar(*ideograph);
            font.changed = true;
        }
    }
}

// The data of a stream object, decoded; nothing for a filter other than
// FlateDecode.
std::optional<QByteArray> streamData(PdfFile& pdf, const PdfObject& object)
{
    const QString dictionary = dictionaryOf(object);
    static const QRegularExpression length(QStringLiteral(R"(/Length\s+(\d+)(?:\s+(\d+)\s+R)?)"));
    const auto m = length.match(dictionary);
    if (!m.hasMatch()) {
        return std::nullopt;
    }
    qint64 size = m.captured(1).toLongLong();
    if (m.hasCaptured(2)) {
        const PdfObject* value = pdf.object(m.captured(1).toInt());
        if (!value) {
            return std::nullopt;
        }
        const QList<QByteArray> words = value->bytes.simplified().split(' ');
        size = words.value(3).toLongLong(); // "n 0 obj size endobj"
    }
    qsizetype start = object.bytes.indexOf("stream") + 6;
    start += object.bytes.mid(start, 2) == "\r\n" ? 2 : 1;
    const QByteArray data = object.bytes.mid(start, size);
    const QString filter = nameAfter(dictionary, QStringLiteral("/Filter"));
    if (filter.isEmpty() && !dictionary.contains(QStringLiteral("/Filter"))) {
        return data;
    }
    if (filter != QStringLiteral("FlateDecode")) {
        return std::nullopt;
    }
    // qUncompress wants the size ahead; it grows its buffer when that is short.
    QByteArray sized(4, '\0');
    qToBigEndian(quint32(std::min<qint64>(4 * data.size() + 64, 1 << 30)), sized.data());
    const QByteArray decoded = qUncompress(sized + data);
    if (decoded.isEmpty() && !data.isEmpty()) {
        return std::nullopt;
    }
    return decoded;
}

// The objects a key refers to: one ("/Contents 10 0 R") or a list
// ("/Kids [4 0 R 9 0 R]").
std::vector<int> referencesOf(const QString& dictionary, const QString& key)
{
    const QRegularExpression re(QRegularExpression::escape(key) +
                                QStringLiteral(R"(\s*(\[[^\]]*\]|\d+\s+\d+\s+R))"));
    std::vector<int> refs;
    static const QRegularExpression ref(QStringLiteral(R"((\d+)\s+\d+\s+R)"));
    auto it = ref.globalMatch(re.match(dictionary).captured(1));
    while (it.hasNext()) {
        refs.push_back(it.next().captured(1).toInt());
    }
    return refs;
}

bool isDelimiter(char c)
{
    return QChar::isSpace(uchar(c)) || QByteArrayView("()<>[]{}/%").contains(c);
}

// The glyph codes that a content stream shows, each with the name of the font
// it is shown in, in order. False for a stream that cannot be followed.
bool shownCodes(const QByteArray& content, std::vector<std::pair<QByteArray, int>>& out)
{
    QByteArray lastName;
    QByteArray font;
    QList<QByteArray> strings; // the operands of the coming operator
    const qsizetype n = content.size();
    qsizetype i = 0;
    while (i < n) {
        const char c = content[i];
        if (QChar::isSpace(uchar(c)) || c == '[' || c == ']' || c == '{' || c == '}') {
            ++i;
        } else if (c == '%') {
            while (i < n && content[i] != '\n' && content[i] != '\r') {
                ++i;
            }
        } else if (c == '/') {
            qsizetype end = i + 1;
            while (end < n && !isDelimiter(content[end])) {
                ++end;
            }
            lastName = content.mid(i + 1, end - i - 1);
            i = end;
        } else if (c == '<' && i + 1 < n && content[i + 1] == '<') {
            i += 2;
        } else if (c == '>') {
            i += i + 1 < n && content[i + 1] == '>' ? 2 : 1;
        } else if (c == '<') {
            const qsizetype end = content.indexOf('>', i);
            if (end < 0) {
                return false;
            }
            strings << QByteArray::fromHex(content.mid(i + 1, end - i - 1));
            i = end + 1;
        } else if (c == '(') {
            QByteArray text;
            int depth = 1;
            for (++i; i < n && depth > 0; ++i) {
                char d = content[i];
                if (d == '\\' && i + 1 < n) {
                    d = content[++i];
                    if (d >= '0' && d <= '7') {
                        int value = 0;
                        for (int k = 0; k < 3 && i < n && content[i] >= '0' && content[i] <= '7'; ++k, ++i) {
                            value = value * 8 + (content[i] - '0');
                        }
                        --i;
                        d = char(value);
                    } else {
                        static const QByteArrayView escaped("nrtbf");
                        static const QByteArrayView meant("\n\r\t\b\f");
                        const qsizetype e = escaped.indexOf(d);
                        d = e >= 0 ? meant[e] : d;
                    }
                } else if (d == '(') {
                    ++depth;
                } else if (d == ')' && --depth == 0) {
                    continue;
                }
                text += d;
            }
            strings << text;
        } else {
            qsizetype end = i;
            while (end < n && !isDelimiter(content[end])) {
                ++end;
            }
            const QByteArray token = content.mid(i, end - i);
            i = end;
            if (QByteArrayView("+-.0123456789").contains(token[0])) {
                continue; // a number
            }
            if (token == "Tf") {
                font = lastName;
            } else if (token == "Tj" || token == "TJ" || token == "'" || token == "\"") {
                for (const QByteArray& text : std::as_const(strings)) {
                    for (qsizetype k = 0; k + 1 < text.size(); k += 2) {
                        out.emplace_back(font, (quint8(text[k]) << 8) | quint8(text[k + 1]));
                    }
                }
            } else if (token == "BI") {
                // An inline image: its data runs from ID to EI.
                const qsizetype data = content.indexOf("ID", i);
                const qsizetype ei = data < 0 ? -1 : content.indexOf("EI", data + 3);
                if (ei < 0) {
                    return false;
                }
                i = ei + 2;
            }
            strings.clear();
        }
    }
    return true;
}

// The characters of `shown` that draw a glyph each: blanks are not drawn and
// control and format characters draw nothing.
std::vector<char32_t> drawnCharacters(const QStringList& shown)
{
    std::vector<char32_t> drawn;
    for (const QString& text : shown) {
        for (const char32_t c : text.toUcs4()) {
            const QChar::Category kind = QChar::category(c);
            if (c != U' ' && kind != QChar::Other_Control && kind != QChar::Other_Format) {
                drawn.push_back(c);
            }
        }
    }
    return drawn;
}

// Qt builds its text maps from the characters up to U+FFFF alone: a glyph
// drawn for a character beyond (an ideograph of the supplementary planes, an
// emoji) gets no text, and readers find nothing there. The pages show their
// glyphs in the order the texts were drawn, one glyph for each character
// that draws one, so that the codes without text are matched with the texts
// `shown`. Nothing is added unless every code lines up with a character.
void mapSupplementaryCharacters(PdfFile& pdf, std::map<int, FontTextMap>& fonts, const QStringList& shown)
{
    // The fonts by the names the pages give them.
    std::map<QByteArray, int> named;
    static const QRegularExpression fontResources(QStringLiteral(R"(/Font\s*<<([^>]*)>>)"));
    static const QRegularExpression entry(QStringLiteral(R"(/([^\s/\[\]<>()]+)\s+(\d+)\s+\d+\s+R)"));
    for (const PdfObject& object : pdf.objects) {
        auto resources = fontResources.globalMatch(dictionaryOf(object));
        while (resources.hasNext()) {
            auto names = entry.globalMatch(resources.next().captured(1));
            while (names.hasNext()) {
                const auto m = names.next();
                const auto [at, added] = named.try_emplace(m.captured(1).toLatin1(), m.captured(2).toInt());
                if (!added && at->second != m.captured(2).toInt()) {
                    return; // one name for two fonts
                }
            }
        }
    }
    // The pages in order, and what they show.
    static const QRegularExpression catalogKey(QStringLiteral(R"(/Root\s+(\d+)\s+\d+\s+R)"));
    const PdfObject* catalog =
        pdf.object(catalogKey.match(QString::fromLatin1(pdf.trailer)).captured(1).toInt());
    const PdfObject* pages =
        catalog ? pdf.object(referenceOf(dictionaryOf(*catalog), QStringLiteral("/Pages"))) : nullptr;
    if (!pages) {
        return;
    }
    std::vector<std::pair<QByteArray, int>> codes;
    for (const int page : referencesOf(dictionaryOf(*pages), QStringLiteral("/Kids"))) {
        const PdfObject* object = pdf.object(page);
        if (!object) {
            return;
        }
        for (const int stream : referencesOf(dictionaryOf(*object), QStringLiteral("/Contents"))) {
            const PdfObject* content = pdf.object(stream);
            const std::optional<QByteArray> data = content ? streamData(pdf, *content) : std::nullopt;
            if (!data || !shownCodes(*data, codes)) {
                return;
            }
        }
    }
    const std::vector<char32_t> drawn = drawnCharacters(shown);
    std::map<int, TextMap> found; // by font
    size_t at = 0;
    for (const auto& [name, code] : codes) {
        const auto font = named.find(name);
        const auto maps = font == named.end() ? fonts.end() : fonts.find(font->second);
        if (maps == fonts.end()) {
            return;
        }
        const auto mapped = maps->second.map.find(code);
        const QString text = mapped == maps->second.map.end() ? QString() : mapped->second;
        const bool hasText = !text.isEmpty() && text != QString(QChar(0));
        if (text == u" ") {
            continue; // a blank, drawn as a glyph
        }
        if (at == drawn.size()) {
            return;
        }
        const char32_t c = drawn[at++];
        if (code == 0 || hasText) {
            continue; // no glyph for the character, or one Qt maps
        }
        if (c <= 0xFFFF) {
            return; // out of step: Qt maps every glyph of such a character
        }
        const QString character = QString::fromUcs4(&c, 1);
        const auto [entry, added] = found[font->second].try_emplace(code, character);
        if (!added && entry->second != character) {
            return;
        }
    }
    if (at != drawn.size()) {
        return;
    }
    for (const auto& [font, texts] : found) {
        FontTextMap& maps = fonts[font];
        for (const auto& [code, text] : texts) {
            maps.map[code] = text;
        }
        maps.changed = true;
    }
}

} // namespace

QHash<char16_t, char16_t> ideographsSharingGlyphs(const QRawFont& font)
{
    auto run = [](char16_t from, char16_t to) {
        QString text;
        for (char16_t c = from; c < to; ++c) {
            text += QChar(c);
        }
        return text;
    };
    constexpr char16_t kFirstIdeograph = 0x3400, kEndOfIdeographs = 0xA000, kFirstRadical = 0x2E80;
    const QList<quint32> ideographGlyphs = font.glyphIndexesForString(run(kFirstIdeograph, kEndOfIdeographs));
    QHash<quint32, char16_t> ideographOfGlyph;
    for (qsizetype i = 0; i < ideographGlyphs.size(); ++i) {
        if (ideographGlyphs[i] != 0 && !ideographOfGlyph.contains(ideographGlyphs[i])) {
            ideographOfGlyph.insert(ideographGlyphs[i], char16_t(kFirstIdeograph + i));
        }
    }
    QHash<char16_t, char16_t> ideographs;
    const QList<quint32> glyphs = font.glyphIndexesForString(run(kFirstRadical, kFirstIdeograph));
    for (qsizetype i = 0; i < glyphs.size(); ++i) {
        const auto ideograph = ideographOfGlyph.find(glyphs[i]);
        if (glyphs[i] != 0 && ideograph != ideographOfGlyph.end()) {
            ideographs.insert(char16_t(kFirstRadical + i), *ideograph);
        }
    }
    return ideographs;
}

QByteArray repairTextMaps(const QByteArray& file, const QHash<char16_t, char16_t>& ideographs,
                          const QStringList& shown)
{
    std::optional<PdfFile> pdf = parse(file);
    if (!pdf) {
        return file;
    }
    static const QRegularExpression type0(QStringLiteral(R"(/Subtype\s*/Type0\b)"));
    bool changed = false;
    std::map<int, FontTextMap> fonts; // by the font's object number
    for (size_t i = 0; i < pdf->objects.size(); ++i) {
        const QString font = dictionaryOf(pdf->objects[i]);
        if (!type0.match(font).hasMatch()) {
            continue;
        }
        if (PdfObject* map = pdf->object(referenceOf(font, QStringLiteral("/ToUnicode")))) {
            if (std::optional<TextMap> texts = readTextMap(*map)) {
                FontTextMap& entry = fonts[pdf->objects[i].number];
                entry.stream = map;
                entry.map = std::move(*texts);
                mapToIdeographs(entry, ideographs);
            }
        }
        PdfObject* descendant = pdf->object(referenceOf(font, QStringLiteral("/DescendantFonts")));
        const PdfObject* descriptor =
            descendant
                ? pdf->object(referenceOf(dictionaryOf(*descendant), QStringLiteral("/FontDescriptor")))
                : nullptr;
        const QString subsetName =
            descriptor ? nameAfter(dictionaryOf(*descriptor), QStringLiteral("/FontName")) : QString();
        if (subsetName.contains(u'+')) {
            changed |= nameAsSubset(pdf->objects[i], subsetName);
            changed |= nameAsSubset(*descendant, subsetName);
        }
    }
    const bool supplementary = std::any_of(shown.begin(), shown.end(), [](const QString& text) {
        return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isSurrogate(); });
    });
    if (supplementary) {
        mapSupplementaryCharacters(*pdf, fonts, shown);
    }
    for (auto& [number, font] : fonts) {
        if (font.changed) {
            writeTextMap(font);
            changed = true;
        }
    }
    return changed ? write(*pdf) : file;
}

} // namespace brenvoll::pdf
