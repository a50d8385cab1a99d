#include "QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

using namespace Qt::StringLiterals;

namespace QtTranslations {

bool installJapanese()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return false;
    // "qt" is the catalogue that pulls in every module's (qtbase holds the buttons, whose texts
    // the platform theme asks for in the "QPlatformTheme" context).
    auto* translator = new QTranslator(app);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(QLocale(QLocale::Japanese, QLocale::Japan), u"qt"_s, u"_"_s, folder)) {
        qWarning("Qt's Japanese translations were not found in %s", qUtf8Printable(folder));
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

} // namespace QtTranslations
