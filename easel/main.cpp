#include "EaselForms.h"
#include "QtTranslations.h"
#include "UnitPictureEditor.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QtTranslations::installJapanese();
    EaselForms forms;
    forms.create(QApplication::arguments().mid(1));
    forms.formPictureEditor->show();
    return app.exec();
}
