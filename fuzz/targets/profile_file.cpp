// The settings file: what reads, written and read again, holds the same keys and values and
// writes the same bytes; a refused file leaves what was loaded before.
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
    ProfileFile file(QStringLiteral("/nonexistent/設定ファイル.ini"));
    file.loadBytes(QByteArrayLiteral("[S]\r\nk=v\r\n"));
    if (!file.loadBytes(fuzzBytes(data, size))) {
        FUZZ_CHECK(file.readString(QStringLiteral("S"), QStringLiteral("k"), QString()) == QStringLiteral("v"));
        return 0;
    }
    const std::optional<QByteArray> written = file.toBytes();
    if (!written)
        return 0;
    ProfileFile again(file.path());
    FUZZ_CHECK(again.loadBytes(*written));
    FUZZ_CHECK(contentOf(again) == contentOf(file));
    FUZZ_CHECK(again.toBytes() == written);
    return 0;
}
