#include "UnitToolSet.h"

#include "AtlasForms.h"
#include "FileOps.h"
#include "ProfileFile.h"
#include "ProgramFolder.h"
#include "Prompter.h"
#include "SavedPictureNotice.h"
#include "Unit1.h"
#include "UnitInputTeikeiM.h"

#include <QAction>
#include <QApplication>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

const QString EditSection = u"編集操作"_s;
const QString ToolSection = u"外部ツール"_s;
const char* const TagProperty = "Tag";
constexpr int ItemHeight = 20;

} // namespace

QString SplitToolEntry(const QString& entry, bool path)
{
    const qsizetype eq = entry.indexOf(u'=');
    if (eq < 0)
        return entry;
    return (path ? entry.mid(eq + 1) : entry.left(eq)).trimmed();
}

SavedPictureNotice::Receiver* ListenForSavedPictures(QObject* owner, const QString& className, QString* target)
{
    auto* receiver = new SavedPictureNotice::Receiver(className, owner);
    QObject::connect(receiver, &SavedPictureNotice::Receiver::received, owner,
                     [target](const QString& fileName) { *target = fileName; });
    return receiver;
}

ToolRunner::Environment SavedPictureEnvironment(const SavedPictureNotice::Receiver* receiver)
{
    const QString socket = receiver && receiver->isListening() ? receiver->socketPath() : QString();
    return {{QString::fromLatin1(SavedPictureNotice::ReceiverVariable), socket}};
}

TFormToolSet::TFormToolSet(QWidget* parent) : QDialog(parent)
{
    setObjectName(u"FormToolSet"_s);
    setWindowTitle(u"外部ツールの設定"_s);
    setFixedSize(652, 217);

    Label63 = new QLabel(u"外部ツール"_s, this);
    lbox6_5 = new QListWidget(this);
    lbox6_5->setSelectionMode(QAbstractItemView::SingleSelection);
    lbox6_5->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    lbox6_5->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    lbox6_5->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lbox6_5->setAttribute(Qt::WA_InputMethodEnabled, false);
    bt6_Add = new QPushButton(u"追加"_s, this);
    bt6_Edit = new QPushButton(u"編集"_s, this);
    bb6_Up = new QPushButton(this);
    bb6_Up->setIcon(style()->standardIcon(QStyle::SP_ArrowUp));
    bb6_Down = new QPushButton(this);
    bb6_Down->setIcon(style()->standardIcon(QStyle::SP_ArrowDown));
    bt6_Del = new QPushButton(u"削除"_s, this);
    btOK = new QPushButton(u"OK"_s, this);
    btCancel = new QPushButton(u"ｷｬﾝｾﾙ"_s, this);

    auto* outer = new QVBoxLayout(this);
    outer->addWidget(Label63);
    auto* row = new QHBoxLayout;
    row->addWidget(lbox6_5, 1);
    auto* side = new QVBoxLayout;
    for (QPushButton* b : {bt6_Add, bt6_Edit, bb6_Up, bb6_Down, bt6_Del})
        side->addWidget(b);
    side->addStretch();
    row->addLayout(side);
    outer->addLayout(row, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(btOK);
    bottom->addWidget(btCancel);
    outer->addLayout(bottom);

    connect(bt6_Add, &QPushButton::clicked, this, &TFormToolSet::bt6_AddClick);
    connect(bt6_Edit, &QPushButton::clicked, this, &TFormToolSet::bt6_EditClick);
    connect(bb6_Up, &QPushButton::clicked, this, &TFormToolSet::bb6_UpClick);
    connect(bb6_Down, &QPushButton::clicked, this, &TFormToolSet::bb6_DownClick);
    connect(bt6_Del, &QPushButton::clicked, this, &TFormToolSet::bt6_DelClick);
    connect(btOK, &QPushButton::clicked, this, &TFormToolSet::btOKClick);
    connect(btCancel, &QPushButton::clicked, this, &TFormToolSet::btCancelClick);
    lbox6_5->viewport()->installEventFilter(this);

    FormCreate();
}

TForm1* TFormToolSet::mainForm() const
{
    auto* forms = AtlasForms::current();
    return forms ? forms->form1.get() : nullptr;
}

void TFormToolSet::FormCreate()
{
    LoadToolSettings();
    FitListExtent();
}

// The settings file

TFormToolSet::StoredSettings TFormToolSet::readSettings(const ProfileFile& ini)
{
    StoredSettings stored;
    stored.noChangeChars = ini.readString(EditSection, u"変換文字"_s, QString());
    stored.convertFlags = quint8(ini.readInteger(EditSection, u"変換条件"_s, 0));
    stored.replaceFlags = quint8(ini.readInteger(EditSection, u"置換条件"_s, 1));
    stored.findFlags = quint8(ini.readInteger(EditSection, u"検索条件"_s, 1));
    for (const QString& key : ini.keys(ToolSection))
        stored.tools << key + u'=' + ini.readString(ToolSection, key, QString());
    return stored;
}

bool TFormToolSet::LoadToolSettings()
{
    TForm1* f1 = mainForm();
    if (!f1 || !QFileInfo(f1->SettingsFilePath).isFile())
        return false;
    ProfileFile ini(f1->SettingsFilePath);
    QString why;
    if (!ini.load(&why))
        Prompter::warn(this, u"設定ファイルを正しく読み込めません。\r\n"_s + f1->SettingsFilePath + u"\r\n"_s + why);
    if (!ini.unreadableLines().isEmpty()) {
        QStringList lines;
        for (const int line : ini.unreadableLines())
            lines << QString::number(line);
        Prompter::warn(this, u"設定ファイルの次の行を読み込めません（Shift-JIS の文字ではありません）。\r\n"_s
                             u"これらの行は使わずに，ファイルにそのまま残します。\r\n"_s
                                 + f1->SettingsFilePath + u"\r\n"_s + lines.join(u"，"_s) + u" 行目"_s);
    }
    m_stored = readSettings(ini);
    f1->NoChangeChars = m_stored->noChangeChars;
    f1->ConvertFlags = m_stored->convertFlags;
    f1->ReplaceFlags = m_stored->replaceFlags;
    f1->FindFlags = m_stored->findFlags;
    setEntries(m_stored->tools);
    return true;
}

bool TFormToolSet::SaveToolSettings()
{
    TForm1* f1 = mainForm();
    if (!f1)
        return false;
    ProfileFile ini(f1->SettingsFilePath);
    QString why;
    // Other sections of the file are kept, so a file that cannot be read is not replaced.
    if (!ini.load(&why)) {
        reportOnce(u"設定ファイルを保存できません。\r\n"_s + f1->SettingsFilePath + u"\r\n"_s + why);
        return false;
    }
    // Only what this run changed is written: a line the user mended while the program ran, or
    // one that could not be read, stays as the file has it.
    const std::optional<StoredSettings> before = ini.exists() ? m_stored : std::nullopt;
    StoredSettings now{f1->NoChangeChars, f1->ConvertFlags, f1->ReplaceFlags, f1->FindFlags, entries()};
    if (before && now == *before)
        return true;
    const auto option = [&](const QString& key, const QString& value, const QString& was) {
        if (!before || value != was)
            ini.writeString(EditSection, key, value);
    };
    option(u"変換文字"_s, now.noChangeChars, before ? before->noChangeChars : QString());
    const auto number = [](quint8 flags) { return QString::number(flags); };
    option(u"変換条件"_s, number(now.convertFlags), before ? number(before->convertFlags) : QString());
    option(u"置換条件"_s, number(now.replaceFlags), before ? number(before->replaceFlags) : QString());
    option(u"検索条件"_s, number(now.findFlags), before ? number(before->findFlags) : QString());
    if (!before || now.tools != before->tools) {
        // The tools this run read take their new values in their own lines; lines it never read
        // (unreadable ones, or added since) keep their places.
        QStringList known;
        for (const QString& entry : before ? before->tools : QStringList())
            known << SplitToolEntry(entry, false);
        QList<std::pair<QString, QString>> tools;
        for (const QString& entry : now.tools)
            tools.append({SplitToolEntry(entry, false), SplitToolEntry(entry, true)});
        ini.replaceKeys(ToolSection, before ? known : ini.keys(ToolSection), tools);
    }

    QStringList leftOut;
    const QByteArray bytes = ini.toBytes(&leftOut);
    if (!FileOps::writeKeptFile(f1->SettingsFilePath, bytes, &why)) {
        reportOnce(u"設定ファイルを保存できません。\r\n"_s + f1->SettingsFilePath + u"\r\n"_s + why);
        return false;
    }
    ProfileFile written(f1->SettingsFilePath);
    written.loadBytes(bytes);
    m_stored = readSettings(written);
    if (!leftOut.isEmpty()) {
        reportOnce(u"設定ファイルに，次の設定を保存できません。ほかの設定は保存しました。\r\n"_s + f1->SettingsFilePath
                   + u"\r\n\r\n"_s + leftOut.join(u"\r\n"_s));
        return false;
    }
    return true;
}

void TFormToolSet::reportOnce(const QString& message)
{
    // The close runs this on every attempt; the same failure is told once.
    if (m_reported.contains(message))
        return;
    m_reported.insert(message);
    Prompter::error(this, message);
}

// The list

QStringList TFormToolSet::entries() const
{
    QStringList out;
    for (int i = 0; i < lbox6_5->count(); ++i)
        out << lbox6_5->item(i)->text();
    return out;
}

void TFormToolSet::setEntries(const QStringList& list)
{
    lbox6_5->clear();
    lbox6_5->addItems(list);
    FitListExtent();
}

int TFormToolSet::selectedIndex() const
{
    const int row = lbox6_5->currentRow();
    return row >= 0 && lbox6_5->item(row)->isSelected() ? row : -1;
}

void TFormToolSet::selectIndex(int index)
{
    if (index >= 0 && index < lbox6_5->count()) {
        lbox6_5->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
    } else {
        lbox6_5->clearSelection();
        lbox6_5->setCurrentRow(-1);
    }
}

void TFormToolSet::FitListExtent()
{
    const QFontMetrics fm(lbox6_5->font());
    int widest = 0;
    for (int i = 0; i < lbox6_5->count(); ++i)
        widest = std::max(widest, fm.horizontalAdvance(lbox6_5->item(i)->text()));
    ListExtent = widest + 20;
    // The items carry the extent, so the list scrolls sideways exactly that far.
    for (int i = 0; i < lbox6_5->count(); ++i)
        lbox6_5->item(i)->setSizeHint(QSize(ListExtent, ItemHeight));
}

QStringList TFormToolSet::captionsExcept(int index) const
{
    QStringList captions;
    for (int i = 0; i < lbox6_5->count(); ++i)
        if (i != index)
            captions << SplitToolEntry(lbox6_5->item(i)->text(), false);
    return captions;
}

// The dialog

int TFormToolSet::ShowModal()
{
    m_openedWith = entries();
    DragFromIndex = -1;
    setResult(0);
    const int result = Prompter::backend().execModal(*this);
    FormClose(result);
    return result;
}

void TFormToolSet::btOKClick() { done(QDialog::Accepted); }

void TFormToolSet::btCancelClick() { done(QDialog::Rejected); }

void TFormToolSet::FormClose(int modalResult)
{
    // Cancel puts back what the dialog opened with: re-reading the file instead would also drop
    // tools confirmed earlier in this run and editing options changed since the last save.
    if (modalResult != QDialog::Accepted)
        setEntries(m_openedWith);
}

void TFormToolSet::bt6_AddClick()
{
    auto* forms = AtlasForms::current();
    TFormInputTeikeiM* input = forms ? forms->formInputTeikeiM.get() : nullptr;
    if (!input)
        return;
    input->setWindowTitle(u"外部ツールの追加"_s);
    input->Label1->setText(u"項目名（半角の \"=\" と \"-\" は使えません。）"_s);
    input->Label2->setText(u"実行ファイル名"_s);
    input->btSansyou->show();
    input->Edit1->clear();
    input->Edit2->clear();
    input->OtherCaptions = captionsExcept(-1);
    if (input->ShowModal() != QDialog::Accepted)
        return;
    lbox6_5->addItem(input->Edit1->text() + u'=' + input->Edit2->text());
    selectIndex(lbox6_5->count() - 1);
    FitListExtent();
}

void TFormToolSet::bt6_EditClick()
{
    const int index = selectedIndex();
    if (index < 0) {
        Prompter::warn(this, u"項目を選択して下さい。"_s);
        return;
    }
    auto* forms = AtlasForms::current();
    TFormInputTeikeiM* input = forms ? forms->formInputTeikeiM.get() : nullptr;
    if (!input)
        return;
    const QString entry = lbox6_5->item(index)->text();
    input->setWindowTitle(u"外部ツールの編集"_s);
    input->Label1->setText(u"項目名（\"=\" と \"-\" は使えません。）"_s);
    input->Label2->setText(u"実行ファイル名"_s);
    input->btSansyou->show();
    input->Edit1->setText(SplitToolEntry(entry, false));
    input->Edit2->setText(SplitToolEntry(entry, true));
    input->OtherCaptions = captionsExcept(index);
    if (input->ShowModal() != QDialog::Accepted)
        return;
    lbox6_5->item(index)->setText(input->Edit1->text() + u'=' + input->Edit2->text());
    FitListExtent();
}

void TFormToolSet::bb6_UpClick()
{
    const int index = selectedIndex();
    if (index < 1)
        return;
    lbox6_5->insertItem(index - 1, lbox6_5->takeItem(index));
    selectIndex(index - 1);
}

void TFormToolSet::bb6_DownClick()
{
    const int index = selectedIndex();
    if (index < 0 || index >= lbox6_5->count() - 1)
        return;
    lbox6_5->insertItem(index + 1, lbox6_5->takeItem(index));
    selectIndex(index + 1);
}

void TFormToolSet::bt6_DelClick()
{
    const int index = selectedIndex();
    if (index < 0) {
        Prompter::warn(this, u"項目を選択して下さい。"_s);
        return;
    }
    if (Prompter::ask(this, u"削除します。いいですか。"_s, Prompter::Buttons::YesNo) != Prompter::Answer::Yes)
        return;
    delete lbox6_5->takeItem(index);
    selectIndex(-1);
    FitListExtent();
}

// Dragging inside the list

int TFormToolSet::itemAtPos(const QPoint& pos, bool pastEnd) const
{
    const QModelIndex at = lbox6_5->indexAt(pos);
    if (at.isValid())
        return at.row();
    return pastEnd ? lbox6_5->count() : -1;
}

int TFormToolSet::topIndex() const { return lbox6_5->verticalScrollBar()->value(); }

void TFormToolSet::lbox6_5MouseDown(Qt::MouseButton button, const QPoint& pos)
{
    if (button == Qt::LeftButton)
        DragFromIndex = itemAtPos(pos, false);
}

void TFormToolSet::lbox6_5DragOver(const QPoint& pos)
{
    if (DragFromIndex < 0)
        return;
    const int index = itemAtPos(pos, true);
    selectIndex(index);
    const int top = topIndex();
    QScrollBar* bar = lbox6_5->verticalScrollBar();
    if (index > top + 1 && pos.y() > lbox6_5->viewport()->height() - ItemHeight)
        bar->setValue(top + 1);
    else if (index <= top + 1 && top > 0)
        bar->setValue(top - 1);
}

void TFormToolSet::lbox6_5DragDrop(const QPoint& pos)
{
    if (DragFromIndex < 0 || DragFromIndex >= lbox6_5->count())
        return;
    const int to = itemAtPos(pos, false);
    const int from = DragFromIndex;
    if (to < 0) {
        lbox6_5->addItem(lbox6_5->takeItem(from));
        selectIndex(lbox6_5->count() - 1);
    } else if (to != from) {
        // Taking the entry out first shifts the later ones up, so inserting at the target index
        // puts it after the target when it came from above, before it when from below.
        lbox6_5->insertItem(to, lbox6_5->takeItem(from));
        selectIndex(to);
    }
    DragFromIndex = selectedIndex();
}

bool TFormToolSet::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != lbox6_5->viewport())
        return QDialog::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* e = static_cast<QMouseEvent*>(event);
        lbox6_5MouseDown(e->button(), e->position().toPoint());
        m_pressPos = e->position().toPoint();
        m_dragging = false;
        break;
    }
    case QEvent::MouseMove: {
        auto* e = static_cast<QMouseEvent*>(event);
        if (!(e->buttons() & Qt::LeftButton) || DragFromIndex < 0)
            break;
        if (!m_dragging && (e->position().toPoint() - m_pressPos).manhattanLength() < QApplication::startDragDistance())
            return true;
        m_dragging = true;
        lbox6_5DragOver(e->position().toPoint());
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto* e = static_cast<QMouseEvent*>(event);
        if (e->button() != Qt::LeftButton || !m_dragging)
            break;
        m_dragging = false;
        // A drop outside the list is no drop.
        if (lbox6_5->viewport()->rect().contains(e->position().toPoint()))
            lbox6_5DragDrop(e->position().toPoint());
        return true;
    }
    case QEvent::MouseButtonDblClick:
        bt6_EditClick();
        return true;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

// The tools menu

void TFormToolSet::BuildToolsMenu(QMenu* menu)
{
    TForm1* f1 = mainForm();
    if (!menu || !f1)
        return;
    // The tool items go; the separator and the settings item below them stay.
    for (QAction* old : menu->actions())
        if (old->property(TagProperty).toInt() > 0)
            delete old;
    if (menu->actions().isEmpty() || !menu->actions().first()->isSeparator())
        menu->insertSeparator(menu->actions().value(0));
    f1->ToolPaths.clear();

    // The items carry their place in the list as Tag (from 1), so ToolPaths is in list order and
    // the top item, the picture tool, is its first path.
    const QStringList list = entries();
    QFileIconProvider icons;
    QAction* before = menu->actions().value(0);
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QString& entry = list.at(i);
        const qsizetype eq = entry.indexOf(u'=');
        const QString caption = eq < 0 ? entry : entry.left(eq);
        QString path = entry;
        if (eq >= 0) {
            const qsizetype second = entry.indexOf(u'=', eq + 1);
            path = second < 0 ? entry.mid(eq + 1) : entry.mid(eq + 1, second - eq - 1);
        }
        // Blanks around "=" would otherwise name no file until the next start.
        path = path.trimmed();

        auto* item = new QAction(caption, menu);
        item->setProperty(TagProperty, int(i + 1));
        connect(item, &QAction::triggered, f1, [f1, item] { f1->RunToolFromMenu(item); });
        const QFileInfo program(ProgramFolder::resolveExeRelativePath(path, false));
        item->setIcon(program.isFile() ? icons.icon(program) : icons.icon(QAbstractFileIconProvider::File));
        f1->ToolPaths << path;
        menu->insertAction(before, item);
    }
}
