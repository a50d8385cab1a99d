// The main window's external tools: the tools menu, tool runs and the picture hand-back.
#include "Unit1.h"

#include "Prompter.h"

using namespace Qt::StringLiterals;

bool TForm1::CheckToolRunning() { return false; }

QString TForm1::PictureToolPath() const
{
    return ToolPaths.isEmpty() ? QString() : ResolveExeRelativePath(ToolPaths.first(), false);
}

void TForm1::WarnNoPictureTool(QWidget* parent)
{
    Prompter::warn(parent, u"外部ツールが登録されていません。\r\n\r\n※［外部ツール］－［外部ツールの設定］で，画像を編集するツールを登録して下さい。"_s);
}

bool TForm1::RunToolAndWait(const QString&, const QString&, int) { return false; }
