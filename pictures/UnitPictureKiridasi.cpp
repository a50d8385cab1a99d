#include "UnitPictureKiridasi.h"

#include "AsciiCase.h"
#include "BmpPicture.h"
#include "Prompter.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

TFormPictureKiridasi::TFormPictureKiridasi(QWidget* parent) : QDialog(parent)
{
    setObjectName(u"FormPictureKiridasi"_s);
}

int TFormPictureKiridasi::ShowModal() { return Prompter::backend().execModal(*this); }

bool TFormPictureKiridasi::SavePictureAs(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix();
    const QString extension = suffix.isEmpty() ? QString() : u'.' + suffix;
    if (AsciiCase::lower(extension) != u".bmp"_s && AsciiCase::lower(extension) != u".jpg"_s) {
        Prompter::warn(this, u"拡張子 \""_s + extension + u"\" は，保存できない画像形式です。\r\n\r\n"_s
                                 + u"拡張子を \".bmp\" または \".jpg\" にして保存して下さい。"_s);
        return false;
    }
    QString why;
    if (!PictureFile::save(path, WorkBitmap, 90, &why)) {
        Prompter::warn(this, why);
        return false;
    }
    return true;
}
