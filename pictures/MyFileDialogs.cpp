#include "MyFileDialogs.h"

#include "Prompter.h"

#include <QRegularExpression>
#include <QStringList>

using namespace Qt::StringLiterals;

QStringList qtNameFilters(const QString& filter)
{
    QStringList out;
    const QStringList parts = filter.split(u'|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts.at(i);
        // Qt reads the patterns from the last parentheses, so they carry the mask itself.
        static const QRegularExpression trailingMask(u"\\s*\\([^()]*\\)\\s*$"_s);
        description.remove(trailingMask);
        QString masks = parts.at(i + 1);
        masks.replace(u';', u' ');
        out << description + u" ("_s + masks + u')';
    }
    return out;
}

bool TMyFileDialog::Execute(QWidget* parent)
{
    Prompter::FileRequest request;
    request.save = m_save;
    request.title = Title;
    request.folder = InitialDir;
    request.fileName = FileName;
    request.filters = qtNameFilters(Filter);
    request.filterIndex = FilterIndex;
    request.defaultExt = DefaultExt;
    request.canClose = OnCanClose;
    const Prompter::FileResult result = Prompter::backend().fileDialog(parent, request);
    if (!result.accepted)
        return false;
    FileName = result.path;
    FilterIndex = result.filterIndex;
    return true;
}
