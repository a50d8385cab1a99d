#include "QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

using namespace Qt::StringLiterals;

namespace QtTranslations {
namespace {

struct Text {
    const char* context;
    const char* source;
    const char16_t* japanese;
};

// Texts of the dialogs the programs show that Qt's Japanese catalogue lacks: Qt 6 asks for the
// file types in a context the catalogue (written for Qt 5's) does not have. The wording is the
// catalogue's own for the same words in the file dialog's context, and the programs' ("フォルダ").
constexpr Text MissingTexts[] = {
    {"QAbstractFileIconProvider", "Folder", u"フォルダ"},
    {"QAbstractFileIconProvider", "Drive", u"ドライブ"},
};

// Installed before Qt's catalogue, so it is asked last: a catalogue that has a text wins.
class MissingTextsTranslator : public QTranslator {
public:
    using QTranslator::QTranslator;

    bool isEmpty() const override { return false; }

    QString translate(const char* context, const char* sourceText, const char* /*disambiguation*/,
                      int /*n*/) const override
    {
        if (!context || !sourceText)
            return QString();
        for (const Text& t : MissingTexts)
            if (qstrcmp(t.context, context) == 0 && qstrcmp(t.source, sourceText) == 0)
                return QString::fromUtf16(t.japanese);
        return QString();
    }
};

const QString InstalledName = u"QtTranslations.japanese"_s;

} // namespace

bool installJapanese()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return false;
    if (app->findChild<QTranslator*>(InstalledName, Qt::FindDirectChildrenOnly))
        return true;
    // "qt" is the catalogue that pulls in every module's (qtbase holds the buttons, whose texts
    // the platform theme asks for in the "QPlatformTheme" context).
    auto* translator = new QTranslator(app);
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(japanese, u"qt"_s, u"_"_s, folder)) {
        qWarning("Qt's Japanese translations were not found in %s", qUtf8Printable(folder));
        delete translator;
        return false;
    }
    translator->setObjectName(InstalledName);
    QCoreApplication::installTranslator(new MissingTextsTranslator(app));
    QCoreApplication::installTranslator(translator);
    // The file dialogs name the kinds of files from the MIME database in the default locale's
    // language.
    QLocale::setDefault(japanese);
    return true;
}

} // namespace QtTranslations
