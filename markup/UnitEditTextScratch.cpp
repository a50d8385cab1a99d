// The scratch-page commands of the description editor window: pages opened from files or blank,
// saved only inside the scratch folder, closed with the save question, and their history.

#include "UnitEditText.h"

#include "ScratchHistory.h"

#include "Cp932.h"
#include "FileOps.h"
#include "FixedColours.h"
#include "MyFileDialogs.h"
#include "MyRichEdit.h"
#include "ProgramFolder.h"
#include "Prompter.h"
#include "UnitCheckDirIn.h"
#include "UnitRefPage.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMenu>
#include <QPoint>
#include <QTabWidget>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

QString historyFileName()
{
    return u"ちょい置き履歴.txt"_s;
}

QString scratchFilter()
{
    return u"テキストファイル (*.txt)|*.txt|マップファイル (*.map)|*.map|全種類 (*.txt, *.map)|*.map;*.txt"_s;
}

// Two names of one file compare equal: where each really leads, else the cleaned full path.
QString fileKey(const QString& path)
{
    const QString real = RealPath(path);
    return real.isEmpty() ? QDir::cleanPath(QFileInfo(path).absoluteFilePath()) : real;
}

// One file whatever path reached it: a bind mount, a name in another case on a volume that ignores
// case, a hard link.
bool sameFile(const QString& a, const QString& b)
{
    return fileKey(a) == fileKey(b) || FileOps::sameEntry(a, b);
}

// The characters of a path that its history entry would not give back, each once; none when the
// entry finds the file again.
QString unstorableCharacters(const QString& path)
{
    QString failing;
    if (!Cp932::canStore(ProgramFolder::resolveExeRelativePath(path, true), &failing))
        return failing;
    // Read back as a folder separator.
    return path.contains(u'\\') ? u"\\"_s : QString();
}

// Later, not at once: the item being triggered may be among them.
void dropItems(QMenu* menu, const QList<QAction*>& items)
{
    for (QAction* a : items) {
        menu->removeAction(a);
        a->deleteLater();
    }
}

} // namespace

void TFormEditText::SetUpScratchDialogs()
{
    Refer1->setStatusTip(
        u"参考にするために，ちょっと置いておきたいテストやテキストを，ちょい置き用ページで表示します。"_s
        u"ふつうのテキストファイルも開くことができます。 ※テストモードとは何の関係もありません。"_s);
    Blank1->setStatusTip(u"何も記述されていないちょい置きページを表示します。"_s
                         u"ちょっとメモしたり，データを貼り付けておくときなどに使えます。"_s);
    ReRefer1->menuAction()->setStatusTip(
        u"最近ちょい置きとして開いたテストやテキストを，ちょい置き用ページで表示します。 ※テストモードとは何の関係もありません。"_s);
    ReferSave1->setStatusTip(u"ちょい置きページに表示されている内容を，ふつうのテキストとして，"_s
                             u"「ちょい置き用」フォルダに保存します。 ※テストモードとは何の関係もありません。"_s);
    mod1 = std::make_unique<TMyOpenDialog>();
    mod1->Title = u"ちょい置きとして開く"_s;
    mod1->Filter = scratchFilter();
    mod1->DefaultExt = u"txt"_s;
    mod1->FilterIndex = 3;
    msd1 = std::make_unique<TMySaveDialog>();
    msd1->Title = u"ちょい置きを保存する"_s;
    msd1->Filter = scratchFilter();
    msd1->DefaultExt = u"txt"_s;
    msd1->FilterIndex = mod1->FilterIndex;
    msd1->OnCanClose = [this](const QString& path) { return msd1CanClose(path); };
}

TFormRefPage* TFormEditText::ScratchPageOfFile(const QString& path, const TFormRefPage* except) const
{
    if (path.isEmpty())
        return nullptr;
    for (const auto& page : ScratchPages)
        if (page.get() != except && page->Tag > 0 && sameFile(page->FileName, path))
            return page.get();
    return nullptr;
}

void TFormEditText::ShowScratchPage(TFormRefPage* page)
{
    if (!page->isFloating()) {
        pcEdit->setCurrentWidget(page);
        pcEditChange();
        return;
    }
    page->show();
    page->raise();
    page->activateWindow();
    page->MyRichEdit1->setFocus();
    EditorTakesCommands(page->MyRichEdit1);
}

TFormRefPage* TFormEditText::CreateBlankPage(const QDateTime& now)
{
    if (!MakeScratchFolder())
        return nullptr;
    RemoveAbandonedClaims(m_host.scratchFolder);
    // Pages made in the same second, here or in another atlas, or a file left from another run,
    // get "_2", "_3" ...: the close of atlas writes each page to its name without asking, so the
    // name is claimed now.
    const QString base = m_host.scratchFolder + u'/' + now.toString(u"yyMMdd-HHmmss"_s);
    FileOps::FileHold hold;
    QString name;
    for (int n = 1;; ++n) {
        name = n == 1 ? base : base + u"_%1"_s.arg(n);
        const QString saved = name + u".txt"_s; // what the save dialog proposes
        if (QFileInfo::exists(saved) || ScratchPageOfFile(name) || ScratchPageOfFile(saved))
            continue;
        QString why;
        const FileOps::FileHold::Claim claim = hold.claim(name, &why);
        if (claim == FileOps::FileHold::Claim::Made)
            break;
        if (claim == FileOps::FileHold::Claim::Failed) {
            Prompter::warn(this,
                           name + u"\r\n"_s + u"ちょい置きページのファイルを作成できません。"_s + u"\r\n"_s + why);
            return nullptr;
        }
    }
    TFormRefPage* page = AddNewScratchPage(name, nullptr, std::move(hold));
    // The claim made the file, empty.
    page->FileContent.saw(name, FileOps::seenOf(QByteArray()));
    return page;
}

TFormRefPage* TFormEditText::CreateScratchPage(const QString& fileName)
{
    // A file has one page: opening it again shows the page, with what was typed in it.
    if (TFormRefPage* open = ScratchPageOfFile(fileName)) {
        ShowScratchPage(open);
        return open;
    }
    QByteArray bytes;
    QString why;
    if (!FileOps::readFile(fileName, FileOps::ReadLimit::Text, bytes, nullptr, &why)) {
        Prompter::warn(this, fileName + u"\r\n"_s + u"ファイルを開くことができませんでした。"_s + u"\r\n"_s + why);
        return nullptr;
    }
    bool ok = true;
    QString text = Cp932::decode(bytes, &ok);
    if (!ok) {
        Prompter::warn(this, fileName + u"\r\n"_s + u"シフトJISのテキストとして読めない部分があります。"_s);
        return nullptr;
    }
    // Lines are read as lines: the break after the last one is not an empty line of its own, and
    // the save gives every line its CR LF again.
    if (text.endsWith(u"\r\n"_s))
        text.chop(2);
    else if (text.endsWith(u'\n') || text.endsWith(u'\r'))
        text.chop(1);
    FileOps::FileHold hold;
    hold.hold(fileName);
    TFormRefPage* page = AddNewScratchPage(fileName, &text, std::move(hold));
    page->FileContent.saw(fileName, FileOps::seenOf(bytes));
    return page;
}

TFormRefPage* TFormEditText::AddNewScratchPage(const QString& fileName, const QString* text, FileOps::FileHold&& hold)
{
    ++PageCounter;
    auto page = std::make_unique<TFormRefPage>(this);
    page->Tag = PageCounter;
    page->setWindowTitle(u" ちょい置き-%1 "_s.arg(PageCounter));
    page->FileName = fileName;
    page->FileHold = std::move(hold);
    // Pages take the description editor's background. Their mark-up is drawn in fixed colours (all
    // black), so where the editor leaves its background to the desktop's theme, a page has the
    // light look's.
    page->MyRichEdit1->SetColor(MyRichEdit1->FixedColor().value_or(QColor(FixedColours::Window)));
    page->setPalette(MyRichEdit1->palette());
    page->MyRichEdit1->setUndoMax(MyRichEdit1->UndoMax());
    page->MyRichEdit1->setFont(DialogFont);
    if (text) {
        page->MyRichEdit1->SetText(*text);
        page->MyRichEdit1->RecolourAll();
        page->MyRichEdit1->DrawNumbering();
    }
    TFormRefPage* p = AddScratchPage(std::move(page));
    p->FormShow();
    return p;
}

void TFormEditText::Refer1Click()
{
    mod1->InitialDir = m_host.scratchFolder;
    if (!mod1->Execute(this))
        return;
    if (TFormRefPage* page = CreateScratchPage(mod1->FileName))
        RememberScratchPage(page);
}

void TFormEditText::Blank1Click()
{
    CreateBlankPage(QDateTime::currentDateTime());
}

void TFormEditText::ReopenScratchPage(QAction* item)
{
    const QString path = absoluteStoredPath(item->statusTip());
    if (!QFileInfo::exists(path)) {
        Prompter::warn(this, path + u"\r\n"_s + u"ファイルが見つかりません。\r\n"_s
                                 + u"指定したファイル名が正しいかどうか確認して下さい。"_s);
        return;
    }
    TFormRefPage* page = CreateScratchPage(path);
    if (!page)
        return;
    RememberScratchPage(page);
    mod1->FileName = path;
}

void TFormEditText::ReferSave1Click()
{
    SaveScratchPage(CurrentPage);
}

bool TFormEditText::msd1CanClose(const QString& path)
{
    if (!IsPathInFolder(m_host.scratchFolder, path, false))
        return Prompter::ask(this,
                             u"「ちょい置き用」フォルダ以外に保存することはできません。\r\n\r\n"_s
                             u"ファイル名を入力し直しますか。"_s,
                             Prompter::Buttons::YesNo)
               != Prompter::Answer::Yes;
    // Two pages never write one file.
    if (const TFormRefPage* other = ScratchPageOfFile(path, m_savingPage)) {
        Prompter::warn(this, path + u"\r\n"_s + u"このファイルは，"_s + other->windowTitle().trimmed()
                                 + u" で開いています。\r\n別のファイル名を指定して下さい。"_s);
        return false;
    }
    if (m_savingPage && sameFile(path, m_savingPage->FileName)) {
        if (PageFileChanged(m_savingPage, path))
            return MayReplacePageFile(m_savingPage, path);
        // A blank page's own file is its claim, which the user never saw.
        if (!QFileInfo::exists(path) || m_savingPage->FileHold.isClaim())
            return true;
    }
    if (QFileInfo::exists(path))
        return Prompter::ask(this, path + u"\r\n"_s + u"ファイルはすでに存在します。上書き保存しますか。"_s,
                             Prompter::Buttons::YesNo)
               == Prompter::Answer::Yes;
    return true;
}

QString TFormEditText::UnencodablePlaces(const QString& text)
{
    const QList<char32_t> codes = Cp932::unencodableCharacters(text);
    QHash<char32_t, QPoint> first;
    int line = 1, column = 1;
    for (qsizetype i = 0; i < text.size() && first.size() < codes.size();) {
        const bool pair = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        const char32_t c = pair ? QChar::surrogateToUcs4(text[i], text[i + 1]) : char32_t(text[i].unicode());
        if (codes.contains(c) && !first.contains(c))
            first.insert(c, QPoint(column, line));
        if (c == u'\n') {
            ++line;
            column = 1;
        } else if (c != u'\r') {
            ++column;
        }
        i += pair ? 2 : 1;
    }
    QString out = u"次の文字はシフトJIS（コードページ932）で表せません。"_s;
    constexpr int Shown = 10;
    for (qsizetype n = 0; n < std::min<qsizetype>(codes.size(), Shown); ++n) {
        const char32_t c = codes[n];
        const QString character = QChar::requiresSurrogates(c) ? QString::fromUcs4(&c, 1) : QString(QChar(char16_t(c)));
        const QPoint at = first.value(c);
        const QString code = u"%1"_s.arg(quint32(c), 4, 16, QLatin1Char('0')).toUpper();
        out += u"\r\n「%1」（U+%2） %3 行目の %4 文字目"_s.arg(character, code).arg(at.y()).arg(at.x());
    }
    if (codes.size() > Shown)
        out += u"\r\nほか %1 文字"_s.arg(codes.size() - Shown);
    return out;
}

bool TFormEditText::writeScratchPage(TFormRefPage* page, const QString& path, QString* error)
{
    // Written to where the path really leads, the very place the containment test judged.
    const QString real = RealPath(path);
    if (real.isEmpty() || !IsPathInFolder(m_host.scratchFolder, real, false))
        return false;
    // Every line, the last included, ends with CR LF; an empty page has no line.
    QString text = page->MyRichEdit1->Text();
    if (!text.isEmpty())
        text += u"\r\n"_s;
    bool ok = true;
    const QByteArray bytes = Cp932::encode(text, &ok);
    if (!ok) {
        if (error)
            *error = UnencodablePlaces(text);
        return false;
    }
    QString why;
    if (FileOps::writeFileAtomic(real, bytes, &why)) {
        page->FileContent.saw(path, FileOps::seenOf(bytes));
        return true;
    }
    // The file operation's own words name the file.
    if (error)
        *error = why;
    return false;
}

void TFormEditText::SaveScratchPage(TFormRefPage* page)
{
    if (!page || page->Tag <= 0 || !page->MyRichEdit1->IsTextModified())
        return;
    if (!MakeScratchFolder()) {
        SaveProceeds = false;
        return;
    }
    msd1->Title = u" ちょい置き-%1 を保存する"_s.arg(page->Tag);
    msd1->InitialDir = m_host.scratchFolder;
    // The dialog gives no extension to a name that exists, and a blank page's claim does.
    if (page->FileHold.isClaim())
        msd1->FileName = page->FileName + u'.' + msd1->DefaultExt;
    else
        msd1->FileName = IsPathInFolder(m_host.scratchFolder, page->FileName, true)
                             ? page->FileName
                             : m_host.scratchFolder + u'/' + QFileInfo(page->FileName).fileName();
    m_savingPage = page;
    const bool chosen = msd1->Execute(this);
    m_savingPage = nullptr;
    if (!chosen) {
        SaveProceeds = false;
        return;
    }
    const QString path = msd1->FileName;
    if (QString why; !writeScratchPage(page, path, &why)) {
        // The page stays, modified, whether it was closing or not.
        SaveProceeds = false;
        Prompter::warn(this, u"保存できませんでした。"_s + (why.isEmpty() ? QString() : u"\r\n\r\n"_s + why));
        return;
    }
    pageWritten(page, path);
    repaintTabs();
    RememberScratchPage(page);
    if (CurrentPage == page)
        UpdateEditorCaption(path);
}

void TFormEditText::miCloseClick()
{
    if (CurrentPage)
        CloseScratchPage(CurrentPage);
}

void TFormEditText::CloseScratchPage(TFormRefPage* page)
{
    SaveProceeds = true;
    if (page->MyRichEdit1->IsTextModified()) {
        switch (Prompter::ask(this, u"テキストが変更されています。保存しますか。"_s, Prompter::Buttons::YesNoCancel)) {
        case Prompter::Answer::Yes:
            SaveScratchPage(page);
            if (!SaveProceeds)
                return;
            break;
        case Prompter::Answer::No:
            break;
        default:
            SaveProceeds = false;
            return;
        }
    }
    if (const int index = pcEdit->indexOf(page); index > 0)
        pcEdit->removeTab(index);
    page->hide();
    page->Tag = -1;
    // A blank page's claim goes now, not when the page is freed.
    page->FileHold.release();
    if (pcEdit->currentIndex() == 0)
        pcEdit->setCurrentIndex(pcEdit->count() - 1);
    if (CurrentPage == page)
        CurrentPage = nullptr;
    pcEditChange();
    // A page whose own close event is running is freed once that event is over.
    for (auto it = ScratchPages.end(); it != ScratchPages.begin();) {
        --it;
        if ((*it)->Tag == -1) {
            it->release()->deleteLater();
            it = ScratchPages.erase(it);
        }
    }
    ScratchPages.shrink_to_fit();
}

bool TFormEditText::SaveAllScratchPages()
{
    if (ModifiedScratchPageCount() > 0 && !MakeScratchFolder())
        return false;
    QStringList failed;
    bool kept = false;
    for (const auto& page : ScratchPages) {
        if (page->Tag <= 0 || !page->MyRichEdit1->IsTextModified())
            continue;
        // A page whose file the user would not replace stays, modified, and so does the program.
        if (IsPathInFolder(m_host.scratchFolder, page->FileName, false)
            && !MayReplacePageFile(page.get(), page->FileName)) {
            kept = true;
            continue;
        }
        if (QString why; !writeScratchPage(page.get(), page->FileName, &why)) {
            // Only a page opened from elsewhere fails with no reason of its own.
            if (why.isEmpty())
                why = page->FileName + u"\r\n"_s + u"「ちょい置き用」フォルダ以外に保存することはできません。"_s;
            failed += page->windowTitle().trimmed() + u"\r\n"_s + why;
            continue;
        }
        pageWritten(page.get(), page->FileName);
        RememberScratchPage(page.get());
    }
    repaintTabs();
    if (failed.isEmpty())
        return !kept;
    Prompter::warn(this, u"保存できませんでした。"_s + u"\r\n\r\n"_s + failed.join(u"\r\n\r\n"_s));
    return false;
}

void TFormEditText::pageWritten(TFormRefPage* page, const QString& path)
{
    page->FileName = path;
    // Held again: the write put a new file in place, and a claim left behind by a save under
    // another name goes.
    page->FileHold.hold(path);
    page->MyRichEdit1->ResetTextUndo();
}

bool TFormEditText::MakeScratchFolder()
{
    // As at start-up: the folder may have been removed while the program runs.
    if (m_host.scratchFolder.isEmpty() || QFileInfo(m_host.scratchFolder).isDir())
        return true;
    QString why;
    if (FileOps::makeFolder(m_host.scratchFolder, &why))
        return true;
    Prompter::error(this, u"フォルダを作成できません。\r\n"_s + m_host.scratchFolder + u"\r\n"_s + why);
    return false;
}

bool TFormEditText::PageFileChanged(const TFormRefPage* page, const QString& path) const
{
    return page->FileContent.changedOutside(path);
}

bool TFormEditText::MayReplacePageFile(TFormRefPage* page, const QString& path)
{
    // A file that changed since the page read or wrote it holds another's work (another atlas's
    // page, an editor).
    return page->FileContent.mayReplace(
        this, path, DocumentFile::question(path + u"\r\n"_s + u"このファイル"_s, page->windowTitle().trimmed()));
}

// History

QString TFormEditText::scratchHistoryPath() const
{
    return m_host.settingsFolder.isEmpty() ? QString() : m_host.settingsFolder + u'/' + historyFileName();
}

// The entries the history file holds now; false (and why) when it is there but cannot be read.
bool TFormEditText::readScratchHistory(QStringList& entries, QString* why) const
{
    entries.clear();
    const QString path = scratchHistoryPath();
    if (path.isEmpty() || !QFileInfo::exists(path))
        return true;
    QByteArray bytes;
    if (!FileOps::readFileStart(path, ScratchHistoryBytes + 1, bytes, nullptr, why))
        return false;
    entries = ReadScratchHistory(bytes);
    return true;
}

QAction* TFormEditText::scratchHistoryEntry(const QString& stored)
{
    auto* entry = new QAction(QFileInfo(absoluteStoredPath(stored)).fileName(), tbpReRefer);
    entry->setStatusTip(stored);
    connect(entry, &QAction::triggered, this, [this, entry] { ReopenScratchPage(entry); });
    return entry;
}

void TFormEditText::LoadScratchHistory()
{
    dropItems(tbpReRefer, tbpReRefer->actions());
    m_scratchHistoryChanges = ScratchHistoryChanges();
    QStringList entries;
    if (QString why; !readScratchHistory(entries, &why)) {
        Prompter::warn(this, scratchHistoryPath() + u"\r\n"_s + u"「開き直す」の履歴を読み込めませんでした。"_s
                                 + u"\r\n"_s + why);
        return;
    }
    for (const QString& line : entries)
        tbpReRefer->addAction(scratchHistoryEntry(line));
    if (entries.isEmpty())
        return;
    tbpReRefer->addSeparator();
    QAction* clear = tbpReRefer->addAction(u"履歴の消去(&T)"_s);
    clear->setStatusTip(u"履歴の消去 … 履歴をすべて消去します。"_s);
    connect(clear, &QAction::triggered, this, &TFormEditText::tbpReReferDeleteClick);
}

void TFormEditText::RememberScratchPage(TFormRefPage* page)
{
    const QString failing = unstorableCharacters(page->FileName);
    if (failing.isEmpty()) {
        AddScratchHistory(page->FileName);
        return;
    }
    if (page->HistoryRefusalTold == page->FileName)
        return;
    page->HistoryRefusalTold = page->FileName;
    QString characters;
    for (const char32_t c : failing.toUcs4())
        characters += u"「"_s + QString::fromUcs4(&c, 1) + u"」"_s;
    Prompter::warn(this, page->FileName + u"\r\n"_s + u"ファイル名の"_s + characters
                             + u"はシフトJIS（コードページ932）でそのまま記録できないため，"_s
                               u"このファイルは「開き直す」の履歴に入れられません。"_s);
}

bool TFormEditText::AddScratchHistory(const QString& path)
{
    // Only a name that reads back as itself from the history file finds its file again.
    if (path.isEmpty() || !unstorableCharacters(path).isEmpty())
        return false;
    if (tbpReRefer->actions().isEmpty()) {
        tbpReRefer->addSeparator();
        QAction* clear = tbpReRefer->addAction(u"履歴の消去"_s);
        clear->setStatusTip(u"履歴の消去 … 履歴をすべて消去します。"_s);
        connect(clear, &QAction::triggered, this, &TFormEditText::tbpReReferDeleteClick);
    }
    const QString stored = ProgramFolder::resolveExeRelativePath(path, true);
    QAction* entry = scratchHistoryEntry(stored);
    QList<QAction*> items = tbpReRefer->actions();
    for (qsizetype i = 0; i + 2 < items.size(); ++i)
        if (absoluteStoredPath(items[i]->statusTip()) == QDir::cleanPath(path)) {
            dropItems(tbpReRefer, {items[i]});
            break;
        }
    tbpReRefer->insertAction(tbpReRefer->actions().constFirst(), entry);
    items = tbpReRefer->actions();
    if (items.size() > ScratchHistoryEntries + 2)
        dropItems(tbpReRefer, {items[items.size() - 3]});
    m_scratchHistoryChanges.added(stored);
    // Written as it changes: a program ended by a signal or a logout keeps its history.
    SaveScratchHistory();
    return true;
}

void TFormEditText::SaveScratchHistory()
{
    const QString path = scratchHistoryPath();
    // A settings folder that went while the program ran is made again with the history this
    // program knows, as every file it keeps; a history file gone alone was cleared by another.
    const bool folderWent = !QFileInfo(m_host.settingsFolder).isDir();
    if (path.isEmpty() || (!m_scratchHistoryChanges.pending() && !folderWent))
        return;
    // Another program may have written the file since: its entries stay, below this one's.
    QStringList file;
    if (folderWent || !readScratchHistory(file)) {
        const QList<QAction*> items = tbpReRefer->actions();
        for (qsizetype i = 0; i + 2 < items.size(); ++i)
            file += items[i]->statusTip();
    }
    const QStringList entries = m_scratchHistoryChanges.merged(file);
    QString text;
    for (const QString& entry : entries)
        text += entry + u"\r\n"_s;
    // Every entry was refused on the way in unless code page 932 holds it.
    const bool written =
        entries.isEmpty() ? FileOps::deleteFile(path) : FileOps::writeKeptFile(path, Cp932::encode(text));
    if (written)
        m_scratchHistoryChanges.written();
    // A history that cannot be written is told once a run, not at every page.
    else if (!m_scratchHistoryFailureTold) {
        m_scratchHistoryFailureTold = true;
        Prompter::warn(this, path + u"\r\n"_s + u"保存できませんでした。"_s);
    }
    // The menu shows the history as written, the other programs' entries with it.
    const QList<QAction*> items = tbpReRefer->actions();
    if (entries.isEmpty()) {
        dropItems(tbpReRefer, items);
        return;
    }
    dropItems(tbpReRefer, items.first(std::max<qsizetype>(items.size() - 2, 0)));
    QAction* separator = tbpReRefer->actions().constFirst();
    for (const QString& entry : entries)
        tbpReRefer->insertAction(separator, scratchHistoryEntry(entry));
}

void TFormEditText::tbpReReferDeleteClick()
{
    if (Prompter::ask(this, u"履歴をすべて消去します。いいですか。"_s, Prompter::Buttons::YesNo)
        != Prompter::Answer::Yes)
        return;
    dropItems(tbpReRefer, tbpReRefer->actions());
    // A file that could not be deleted goes at the next write: nothing it held comes back.
    const QString path = scratchHistoryPath();
    m_scratchHistoryChanges.cleared(path.isEmpty() || FileOps::deleteFile(path));
}
