#include "EaselForms.h"
#include "PictureLimit.h"
#include "QtTranslations.h"
#include "SessionEnd.h"
#include "UnitPictureEditor.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QtTranslations::installJapanese();
    PictureLimit::allowInQt();
    EaselForms forms;
    forms.create(QApplication::arguments().mid(1));
    forms.formPictureEditor->show();
    // A logout asks what a close would ask, and the user's キャンセル cancels it.
    SessionEnd::install([&forms] { return forms.formPictureEditor->FormClose(); });
    return app.exec();
}
