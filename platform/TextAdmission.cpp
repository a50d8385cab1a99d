#include "TextAdmission.h"

#include "Cp932.h"

#include <QHash>
#include <QSet>

#include <optional>

using namespace Qt::StringLiterals;

namespace TextAdmission {

namespace {

bool isLineBreak(char32_t c)
{
    return c == u'\r' || c == u'\n';
}

bool isSeparator(char32_t c)
{
    return c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
}

bool isControl(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// The character at i and its `length` in UTF-16. Not toUcs4(), which makes a lone half of a
// surrogate pair U+FFFD: such a half is a character of its own.
char32_t characterAt(QStringView text, qsizetype i, qsizetype& length)
{
    const bool pair = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
    length = pair ? 2 : 1;
    return pair ? QChar::surrogateToUcs4(text[i], text[i + 1]) : char32_t(text[i].unicode());
}

// The characters of `more` that `list` lacks, appended in order, each once.
void appendOnce(QString& list, QStringView more)
{
    QSet<char32_t> known;
    qsizetype length = 0;
    for (qsizetype i = 0; i < list.size(); i += length)
        known.insert(characterAt(list, i, length));
    for (qsizetype i = 0; i < more.size(); i += length) {
        const char32_t c = characterAt(more, i, length);
        if (!known.contains(c)) {
            known.insert(c);
            list += more.mid(i, length);
        }
    }
}

// What code page 932 makes of one character: itself, the character its code reads back as, or
// nothing. Asked of the codec once per character and thread.
std::optional<QString> storedForm(char32_t c)
{
    thread_local QHash<char32_t, std::optional<QString>> known;
    const auto it = known.constFind(c);
    if (it != known.constEnd())
        return *it;
    const QString one = QString::fromUcs4(&c, 1);
    bool ok = false;
    const QByteArray bytes = Cp932::encode(one, &ok);
    std::optional<QString> form;
    if (ok) {
        bool read = false;
        const QString back = Cp932::decode(bytes, &read);
        if (read && !back.isEmpty())
            form = back;
    }
    known.insert(c, form);
    return form;
}

// Plain text of the kind most boxes see comes in as it is, without a look at each character.
bool plainAscii(QStringView text, const Options& o)
{
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c >= 0x7F || (c < 0x20 && !isLineBreak(c) && !(c == u'\t' && o.tabs == Tabs::Keep))
            || (o.oneLine && isLineBreak(c)))
            return false;
    }
    return true;
}

} // namespace

Result admit(QStringView text, const Options& options)
{
    Result r;
    if (plainAscii(text, options)) {
        r.text = text.toString();
        return r;
    }
    QSet<char32_t> controls, unstorable;
    r.text.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        qsizetype length = 0;
        const char32_t c = characterAt(text, i, length);
        const QStringView one = text.mid(i, length);
        i += length;
        if (isLineBreak(c) || isSeparator(c)) {
            if (options.oneLine)
                break;
            // After a lone CR a LF would join it into one line break.
            r.text += !isSeparator(c) ? one : r.text.endsWith(u'\r') ? QStringView(u"\r\n") : QStringView(u"\n");
            continue;
        }
        if (c == u'\t' && options.tabs == Tabs::Blank) {
            r.text += u' ';
            continue;
        }
        if (c == QChar::Nbsp) {
            r.text += u' ';
            continue;
        }
        if (isControl(c) && c != u'\t' && options.controls == Controls::Refuse) {
            if (!controls.contains(c)) {
                controls.insert(c);
                r.controls += one;
            }
            continue;
        }
        if (c < 0x80) {
            r.text += one;
            continue;
        }
        const std::optional<QString> form = storedForm(c);
        if (!form) {
            if (!unstorable.contains(c)) {
                unstorable.insert(c);
                r.unstorable += one;
            }
            continue;
        }
        r.text += *form;
    }
    return r;
}

QString nameOf(char32_t c)
{
    if (isLineBreak(c) || isSeparator(c))
        return u"改行"_s;
    const QString code = u"U+"_s + QString::number(quint32(c), 16).toUpper().rightJustified(4, u'0');
    if (isControl(c))
        return u"制御文字 "_s + code;
    switch (QChar::category(c)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
    case QChar::Separator_Space:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Other_PrivateUse:
    case QChar::Other_NotAssigned:
        return u"見えない文字 "_s + code;
    default:
        return u"\""_s + QString::fromUcs4(&c, 1) + u"\" ("_s + code + u')';
    }
}

void Result::addRefused(const Result& more)
{
    appendOnce(controls, more.controls);
    appendOnce(unstorable, more.unstorable);
}

QString namesOf(QStringView characters)
{
    QStringList names;
    qsizetype length = 0;
    for (qsizetype i = 0; i < characters.size(); i += length)
        names << nameOf(characterAt(characters, i, length));
    return names.join(u"，"_s);
}

QString refusalMessage(const Result& result, const QString& file)
{
    QStringList messages;
    if (!result.unstorable.isEmpty())
        messages << u"次の文字はシフトJIS（コードページ932）で表せないため，入力できません。\r\n"_s
                        + namesOf(result.unstorable);
    if (!result.controls.isEmpty())
        messages << u"次の文字は"_s + file + u"に保存できないため，入力できません。\r\n"_s + namesOf(result.controls);
    return messages.join(u"\r\n\r\n"_s);
}

} // namespace TextAdmission
