// The settings file: what reads, written and read again, holds the same keys, values and unreadable
// lines and writes the same bytes; a file nothing was written to is written back as it was read.
#include "../FuzzCheck.h"
#include "ProfileFile.h"

namespace {

QStringList contentOf(const ProfileFile& f)
{
    QStringList out;
    for (const QString& section : {QStringLiteral("外部ツール"), QStringLiteral("編集操作"), QStringLiteral("S")})
        for (const QString& key : f.keys(section))
            out << section << key << f.readString(section, key, QString());
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = fuzzBytes(data, size);
    ProfileFile file(QStringLiteral("/nonexistent/設定ファイル.ini"));
    file.loadBytes(input);
    const QByteArray written = file.toBytes();
    QByteArray lines = input;
    if (!lines.isEmpty() && !lines.endsWith('\n'))
        lines += '\n';
    QByteArray expected;
    for (QByteArray line : lines.split('\n').mid(0, lines.count('\n'))) {
        if (line.endsWith('\r'))
            line.chop(1);
        expected += line + "\r\n";
    }
    FUZZ_CHECK(written == expected);
    ProfileFile again(file.path());
    again.loadBytes(written);
    FUZZ_CHECK(contentOf(again) == contentOf(file));
    FUZZ_CHECK(again.unreadableLines() == file.unreadableLines());
    FUZZ_CHECK(again.toBytes() == written);
    return 0;
}
