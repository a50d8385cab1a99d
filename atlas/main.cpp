#include "AtlasForms.h"
#include "PictureLimit.h"
#include "QtTranslations.h"
#include "SessionEnd.h"
#include "Unit1.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("マップエディタ"));
    QtTranslations::installJapanese();
    PictureLimit::allowInQt();
    AtlasForms forms;
    forms.create(QApplication::arguments().mid(1));
    forms.form1->show();
    // A logout asks what a close would ask, and the user's キャンセル cancels it.
    SessionEnd::install([&forms] { return forms.form1->FormClose(); });
    return app.exec();
}
