#include "MyFileDialogs.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(FileDialogFilters, ToolkitFilterTextBecomesQtNameFilters)
{
    EXPECT_EQ(qtNameFilters(u"BMP ﾌｧｲﾙ (*.bmp)|*.bmp|全種類 (*.bmp, *.jpg)|*.bmp;*.jpg"_s),
              (QStringList{u"BMP ﾌｧｲﾙ (*.bmp)"_s, u"全種類 (*.bmp *.jpg)"_s}));
}
