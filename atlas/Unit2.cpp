#include "Unit2.h"

#include "AtlasForms.h"
#include "BmpPicture.h"
#include "ColourText.h"
#include "DescriptionRenderer.h"
#include "FileOps.h"
#include "HenkanJ.h"
#include "MapFolders.h"
#include "MapGridModel.h"
#include "MapPictures.h"
#include "MyFileDialogs.h"
#include "MyRichEdit.h"
#include "PopupKeys.h"
#include "Prompter.h"
#include "TextAdmission.h"
#include "Unit1.h"
#include "UnitCity.h"
#include "UnitEditText.h"
#include "UnitPictureKiridasi.h"
#include "WindowPlacement.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QValidator>
#include <QVBoxLayout>

#include <limits>

using namespace Qt::StringLiterals;

namespace {

const char* const TagProperty = "Tag";

TForm1* mainForm()
{
    auto* forms = AtlasForms::current();
    return forms ? forms->form1.get() : nullptr;
}

QString twoDigits(int n) { return u"%1"_s.arg(n, 2, 10, QLatin1Char('0')); }

QString extensionOf(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix();
    return suffix.isEmpty() ? QString() : u'.' + suffix;
}

// A one-line box of the platform holds at most this many characters.
constexpr int OneLineLimit = 32767;

// What the title and speech boxes take in: the first line of it, as a map file item holds it.
constexpr TextAdmission::Options OneLineAdmission{
    .oneLine = true, .tabs = TextAdmission::Tabs::Keep, .controls = TextAdmission::Controls::Refuse};

// Says what a box left out of what came in; after the box's own edit, since a modal box inside
// Qt's key, input method, paste or drop handling would run an event loop in its middle.
void tellRefused(QLineEdit* box, const TextAdmission::Result& refused)
{
    const QString message = TextAdmission::refusalMessage(refused, u"マップファイル"_s);
    if (message.isEmpty())
        return;
    QTimer::singleShot(0, box, [box, message] { Prompter::warn(box, message); });
}

// The filter of the title and speech boxes, every road into them (keys, input method, paste,
// the X selection, drop): the box's admission, and no more than the platform's one-line box
// holds; anything else is refused with a word, never cut silently.
class OneLineFilter : public QValidator {
public:
    explicit OneLineFilter(QLineEdit* box) : QValidator(box), m_box(box)
    {
        connect(box, &QLineEdit::textChanged, this, [this](const QString& text) { m_held = text.size(); });
    }

    State validate(QString& input, int& pos) const override
    {
        // What came in ends at the caret, and the box held one line: its first line stays.
        const TextAdmission::Result before = TextAdmission::admit(QStringView(input).left(pos), OneLineAdmission);
        const TextAdmission::Result after = TextAdmission::admit(QStringView(input).mid(pos), OneLineAdmission);
        TextAdmission::Result refused;
        refused.addRefused(before);
        refused.addRefused(after);
        tellRefused(m_box, refused);
        // Only what makes the text longer is refused: a longer text the map held stays as it is.
        const qsizetype size = before.text.size() + after.text.size();
        if (size > OneLineLimit && size > m_held) {
            QTimer::singleShot(0, m_box, [box = m_box] {
                Prompter::warn(box, u"文字数が %1 文字を超えるため，入力できません。"_s.arg(OneLineLimit));
            });
            return Invalid;
        }
        input = before.text + after.text;
        pos = int(before.text.size());
        return Acceptable;
    }

private:
    QLineEdit* m_box;
    qsizetype m_held = 0;
};

} // namespace

TForm2::TForm2(QWidget* parent) : QDialog(parent)
{
    setObjectName(u"Form2"_s);
    QFont f;
    f.setFamilies({u"ＭＳ ゴシック"_s, u"MS Gothic"_s, u"IPAGothic"_s, u"Noto Sans Mono CJK JP"_s});
    f.setPixelSize(16);
    setFont(f);
    resize(825, 546);

    Edit1 = new QLineEdit(this);
    Edit2 = new QLineEdit(this);
    Edit4 = new QLineEdit(this);
    Edit5 = new QLineEdit(this);
    for (QLineEdit* box : {Edit1, Edit2, Edit4, Edit5}) {
        // The filter says no to what is too long; Qt's own limit would cut it without a word.
        box->setMaxLength(std::numeric_limits<int>::max());
        box->setValidator(new OneLineFilter(box));
        // A text the filter had to change is an edit all the same (Qt forgets that it was one).
        connect(box, &QLineEdit::textEdited, box, [box] { box->setModified(true); });
    }
    Memo1 = new TMyRichEdit(this);
    Memo1->setIndentLeft(8);
    Memo1->setIndentTop(4);
    Memo1->setUndoMax(21);
    Memo1->setSioriMax(3);
    // A description is edited without line-end marks (and so without the margin fill).
    Memo1->StrColor().ColorCREnabled = false;
    imCity = new QLabel(this);
    btLoadCityPic = new QPushButton(u"取り込む"_s, this);
    btEditCityPic = new QPushButton(u"編集する"_s, this);
    btDeleteCityPic = new QPushButton(u"削除する"_s, this);
    bbUndo = new QPushButton(u"元に戻す"_s, this);
    bbRedo = new QPushButton(u"先に戻す"_s, this);
    lbUndo = new QLabel(u"0"_s, this);
    bbPicDir = new QPushButton(u"画像フォルダ"_s, this);
    cbPicDir = new QCheckBox(u"画像フォルダ"_s, this);
    cbReload = new QCheckBox(u"再修正"_s, this);
    cbKiridasi = new QCheckBox(u"サイズ修正"_s, this);
    cbKiridasi->hide();
    bbR1 = tagButton(u"<r>"_s, 11);
    bbR2 = tagButton(u"</r>"_s, 12);
    bbG1 = tagButton(u"<g>"_s, 13);
    bbG2 = tagButton(u"</g>"_s, 14);
    bbB1 = tagButton(u"<b>"_s, 15);
    bbB2 = tagButton(u"</b>"_s, 16);
    bbW1 = tagButton(u"<w>"_s, 17);
    bbW2 = tagButton(u"</w>"_s, 18);
    bbU1 = tagButton(u"<u>"_s, 19);
    bbU2 = tagButton(u"</u>"_s, 20);
    bbHttp = tagButton(u"<http://>"_s, 0);
    bbHttp->hide();
    bbBG = new QPushButton(u"<bg>"_s, this);
    bbBG->setFixedWidth(bbBG->fontMetrics().horizontalAdvance(bbBG->text()) + 12);
    btEdit = new QPushButton(u"別フォームで編集"_s, this);
    bbCheck = new QPushButton(u"ストーリー動作確認"_s, this);
    btOK = new QPushButton(u"OK"_s, this);
    btCancel = new QPushButton(u"ｷｬﾝｾﾙ"_s, this);

    auto* grid = new QGridLayout(this);
    auto* texts = new QGridLayout;
    const std::pair<const char16_t*, QWidget*> rows[] = {{u"タイトル１行目", Edit1},
                                                         {u"タイトル２行目", Edit2},
                                                         {u"せりふ１行目", Edit4},
                                                         {u"せりふ２行目", Edit5}};
    int r = 0;
    for (const auto& [label, widget] : rows) {
        texts->addWidget(new QLabel(QString::fromUtf16(label), this), r, 0);
        texts->addWidget(widget, r++, 1);
    }
    grid->addLayout(texts, 0, 0);

    auto* picture = new QVBoxLayout;
    picture->addWidget(new QLabel(u"旅行地画像"_s, this));
    picture->addWidget(imCity);
    auto* pictureButtons = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{btLoadCityPic, btEditCityPic, btDeleteCityPic})
        pictureButtons->addWidget(w);
    picture->addLayout(pictureButtons);
    auto* undoRow = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{lbUndo, bbUndo, bbRedo})
        undoRow->addWidget(w);
    undoRow->addStretch();
    picture->addLayout(undoRow);
    auto* pictureOptions = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{bbPicDir, cbPicDir, cbReload, cbKiridasi})
        pictureOptions->addWidget(w);
    picture->addLayout(pictureOptions);
    picture->addStretch();
    grid->addLayout(picture, 0, 1, 2, 1);

    auto* description = new QVBoxLayout;
    description->addWidget(new QLabel(u"説明文"_s, this));
    description->addWidget(Memo1, 1);
    auto* tags = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{bbR1, bbR2, bbG1, bbG2, bbB1, bbB2, bbW1, bbW2, bbU1, bbU2, bbHttp,
                                                      bbBG})
        tags->addWidget(w);
    tags->setSpacing(2);
    tags->addStretch();
    description->addLayout(tags);
    for (const char16_t* text : {u"※使用できるタグ", u"文字色： 赤<r>～</r>，緑<g>～</g>，青<b>～</b>",
                                 u"文字スタイル： 太字<w>～</w>，下線<u>～</u>", u"背景色：<bg=…>"})
        description->addWidget(new QLabel(QString::fromUtf16(text), this));
    grid->addLayout(description, 1, 0);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btEdit);
    buttons->addWidget(bbCheck);
    buttons->addStretch();
    buttons->addWidget(btOK);
    buttons->addWidget(btCancel);
    grid->addLayout(buttons, 2, 0, 1, 2);
    grid->setRowStretch(1, 1);

    PopupMenu1 = new QMenu(this);
    pmUndo = PopupMenu1->addAction(u"元に戻す (&Z)"_s, QKeySequence(u"Ctrl+Z"_s), this, &TForm2::pmUndoClick);
    pmRedo = PopupMenu1->addAction(u"先に戻す (&Y)"_s, QKeySequence(u"Shift+Ctrl+Z"_s), this, &TForm2::pmRedoClick);
    PopupMenu1->addSeparator();
    pmCut = PopupMenu1->addAction(u"切り取り (&X)"_s, QKeySequence(u"Ctrl+X"_s), this, &TForm2::pmCutClick);
    pmCopy = PopupMenu1->addAction(u"コピー (&C)"_s, QKeySequence(u"Ctrl+C"_s), this, &TForm2::pmCopyClick);
    pmPaste = PopupMenu1->addAction(u"貼り付け (&V)"_s, QKeySequence(u"Ctrl+V"_s), this, &TForm2::pmPasteClick);
    pmDelete = PopupMenu1->addAction(u"削除 (&D)"_s, QKeySequence(u"Ctrl+Del"_s), this, &TForm2::pmDeleteClick);
    pmSelectAll = PopupMenu1->addAction(u"すべて選択 (&A)"_s, QKeySequence(u"Ctrl+A"_s), this, &TForm2::pmSelectAllClick);
    Memo1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Memo1, &QWidget::customContextMenuRequested, this, [this](const QPoint& p) {
        PopupMenu1Popup();
        PopupMenu1->exec(Memo1->mapToGlobal(p));
    });

    connect(btOK, &QPushButton::clicked, this, &TForm2::btOKClick);
    connect(btCancel, &QPushButton::clicked, this, &TForm2::btCancelClick);
    connect(btLoadCityPic, &QPushButton::clicked, this, &TForm2::btLoadCityPicClick);
    connect(btEditCityPic, &QPushButton::clicked, this, &TForm2::btEditCityPicClick);
    connect(btDeleteCityPic, &QPushButton::clicked, this, &TForm2::btDeleteCityPicClick);
    connect(bbCheck, &QPushButton::clicked, this, &TForm2::bbCheckClick);
    connect(bbBG, &QPushButton::clicked, this, &TForm2::bbBGClick);
    connect(btEdit, &QPushButton::clicked, this, &TForm2::btEditClick);
    connect(bbUndo, &QPushButton::clicked, this, &TForm2::bbUndoClick);
    connect(bbRedo, &QPushButton::clicked, this, &TForm2::bbRedoClick);
    connect(bbPicDir, &QPushButton::clicked, this, &TForm2::bbPicDirClick);

    // The form sees keys before its controls; Return in a text box is no button press.
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);
    for (QPushButton* b : findChildren<QPushButton*>())
        b->setAutoDefault(false);

    FormCreate();
}

TForm2::~TForm2() = default;

QPushButton* TForm2::tagButton(const QString& caption, int tag)
{
    auto* b = new QPushButton(caption, this);
    b->setFixedWidth(b->fontMetrics().horizontalAdvance(caption) + 12);
    b->setProperty(TagProperty, tag);
    b->setFocusPolicy(Qt::NoFocus);
    connect(b, &QPushButton::clicked, this, [this, b] { bbR1Click(b); });
    return b;
}

void TForm2::FormCreate()
{
    imCity->setFixedSize(400, 225);
    TForm1* f1 = mainForm();
    mopd1 = f1 ? f1->NewPictureDialog() : std::make_unique<TMyOpenPictureDialog>();
    if (f1)
        bbPicDir->setStatusTip(f1->hintOf(f1->mmOpenPicDir));

    Edit1->setStatusTip(u"ストーリー表示のタイトル１行目です。 ※［ストーリー動作確認］で確認できます。"_s);
    Edit2->setStatusTip(u"ストーリー表示のタイトル２行目です。 ※［ストーリー動作確認］で確認できます。"_s);
    btLoadCityPic->setStatusTip(
        u"旅行地画像の取り込み … 旅行地の画像を取り込みます。 ※旅行地画像の大きさは，横%1, 縦%2 でなければなりません。"_s
            .arg(400)
            .arg(225));
    cbPicDir->setStatusTip(u"画像を取り込むときに表示されるフォルダを，マップファイルの画像フォルダにします。"_s);
    cbReload->setStatusTip(u"表示されている画像を，サイズ修正フォームで開きます。ここを選択して［取り込む］を実行して下さい。"_s);
    cbKiridasi->setStatusTip(
        u"画像を取り込んだ後，必ずサイズ修正フォームを表示します。 ※通常，サイズ修正フォームは，取り込む画像のサイズが正しくないときだけ表示されます。"_s);
    btEditCityPic->setStatusTip(
        u"表示されている画像を編集します。 ※画像の編集は，「外部ツール」の一番上に指定されているツールで行われます。"_s);
    btDeleteCityPic->setStatusTip(u"表示されている画像を削除します。"_s);
    bbUndo->setStatusTip(u"画像の変更を取り消します。戻せる回数は最大 "_s + QString::number(20)
                         + u" 回です。　【ｷｰﾎﾞｰﾄﾞ】<Ctrl>+<Z>"_s);
    bbRedo->setStatusTip(u"「元に戻す」を取り消します。　【ｷｰﾎﾞｰﾄﾞ】<Shift>+<Ctrl>+<Z>"_s);
    Edit4->setStatusTip(u"キャラクターが登場するときのせりふ１行目です。 ※［ストーリー動作確認］で確認できます。"_s);
    Edit5->setStatusTip(u"キャラクターが登場するときのせりふ２行目です。 ※［ストーリー動作確認］で確認できます。"_s);
    Memo1->setStatusTip(
        u"旅行地の説明文です。 ※［ストーリー動作確認］で，タイトルや画像をクリックすると表示／非表示します。"_s);
    bbCheck->setStatusTip(u"ストーリー動作確認 … 現在の内容で，ストーリーの動作を確認します。"_s);
    const std::pair<QPushButton*, const char16_t*> tagHints[] = {
        {bbR1, u"タグ（赤文字）を入力します。　【ｷｰﾎﾞｰﾄﾞ】<Ctrl>+<R>"},
        {bbR2, u"タグ（赤文字）を入力します。　【ｷｰﾎﾞｰﾄﾞ】<Shift>+<Ctrl>+<R>"},
        {bbG1, u"タグ（緑文字）を入力します。　【ｷｰﾎﾞｰﾄﾞ】<Ctrl>+<G>"},
        {bbG2, u"タグ（緑文字）を入力します。　【ｷｰﾎﾞｰﾄﾞ】<Shift>+<Ctrl>+<G>"},
        {bbB1, u"タグ（青文字）を入力します。　【ｷｰﾎﾞｰﾄﾞ】<Ctrl>+<B>"},
        {bbB2, u"タグ（青文字）を入力します。　【ｷｰﾎﾞｰﾄﾞ】<Shift>+<Ctrl>+<B>"},
        {bbW1, u"タグ（太字）を入力します。　【ｷｰﾎﾞｰﾄﾞ】<Ctrl>+<W>"},
        {bbW2, u"タグ（太字）を入力します。　【ｷｰﾎﾞｰﾄﾞ】<Shift>+<Ctrl>+<W>"},
        {bbU1, u"タグ（下線）を入力します。　【ｷｰﾎﾞｰﾄﾞ】<Ctrl>+<U>"},
        {bbU2, u"タグ（下線）を入力します。　【ｷｰﾎﾞｰﾄﾞ】<Shift>+<Ctrl>+<U>"},
        {bbHttp, u"タグを入力します。　【ｷｰﾎﾞｰﾄﾞ】<Ctrl>+<H>"},
        {bbBG, u"タグ（背景色）を入力します。色を選択するフォームを使って入力できます。　【ｷｰﾎﾞｰﾄﾞ】<Ctrl>+<F>"}};
    for (const auto& [button, hint] : tagHints)
        button->setStatusTip(u"説明文に"_s + button->text() + QString::fromUtf16(hint));
    btOK->setStatusTip(u"操作を確定して，このフォームを閉じます。　【ｷｰﾎﾞｰﾄﾞ】<F4>"_s);
    btCancel->setStatusTip(u"操作を破棄して，このフォームを閉じます。　【ｷｰﾎﾞｰﾄﾞ】<Esc>"_s);
    m_baselineDestination = -1;
}

int TForm2::ShowModal()
{
    WindowPlacement::centre(*this, WindowPlacement::openerOf(*this, parentWidget()));
    FormShow();
    return Prompter::backend().execModal(*this);
}

void TForm2::FormShow()
{
    switch (TForm1* f1 = mainForm(); f1 ? f1->SelectedColumn : 0) {
    case 2:
        Edit1->setFocus();
        break;
    case 3:
        Edit2->setFocus();
        break;
    case 4:
        btLoadCityPic->setFocus();
        break;
    case 5:
        Edit4->setFocus();
        break;
    case 6:
        Edit5->setFocus();
        break;
    case 7:
        Memo1->setFocus();
        Memo1->setSelStart(0);
        break;
    default:
        break;
    }
    if (DestinationIndex == m_baselineDestination)
        PushPictureUndo(PicturePath);
    else
        ResetPictureUndo(PicturePath);
    PictureUndoState(0);
}

bool TForm2::toolRuns()
{
    TForm1* f1 = mainForm();
    return f1 && f1->CheckToolRunning();
}

void TForm2::done(int result)
{
    if (toolRuns())
        return;
    if (!FormClose(result))
        return;
    QDialog::done(result);
}

bool TForm2::FormClose(int modalResult)
{
    if (modalResult != QDialog::Rejected)
        return true;
    const bool changed = PictureUndoState(1) || Edit1->isModified() || Edit2->isModified() || Edit4->isModified()
                         || Edit5->isModified() || Memo1->Modified();
    return !changed
           || Prompter::ask(this, u"変更した内容を破棄します。いいですか。"_s, Prompter::Buttons::YesNo)
                  == Prompter::Answer::Yes;
}

void TForm2::btOKClick() { done(QDialog::Accepted); }

void TForm2::btCancelClick() { done(QDialog::Rejected); }

void TForm2::UpdateDestinationCaption()
{
    QString caption = u"%1 番目の旅行地"_s.arg(DestinationIndex);
    if (DestinationIndex == 0)
        caption += u" <スタート地点>"_s;
    if (!PicturePath.isEmpty() && QFileInfo(PicturePath).isFile())
        caption += u"　（旅行地画像 \""_s + QFileInfo(PicturePath).fileName() + u"\"）"_s;
    setWindowTitle(caption);
}

void TForm2::showPicture(const QImage& picture)
{
    imCityPicture = picture;
    imCity->setPixmap(QPixmap::fromImage(picture));
}

// Picture undo

bool TForm2::PictureUndoState(int mode)
{
    if (mode == 0) {
        m_baselinePicture = PicturePath;
        m_baselineDestination = DestinationIndex;
        updateUndoButtons();
        return false;
    }
    return mode == 1 && PicturePath != m_baselinePicture;
}

void TForm2::updateUndoButtons()
{
    bbUndo->setEnabled(CanUndoPicture());
    bbRedo->setEnabled(CanRedoPicture());
    lbUndo->setText(QString::number(PictureUndo.label()));
}

void TForm2::ResetPictureUndo(const QString& path)
{
    PictureUndo.reset(path);
    updateUndoButtons();
}

void TForm2::PushPictureUndo(const QString& path)
{
    if (path == PictureUndo.currentState())
        return;
    PictureUndo.push(path);
    updateUndoButtons();
}

void TForm2::ForgetPictureUndo()
{
    m_baselineDestination = -1;
}

void TForm2::ApplyPictureUndo()
{
    PicturePath = PictureUndo.currentState();
    QImage picture;
    MapPictures::LoadPictureChecked(MapPictures::DestinationKind, PicturePath, &picture);
    showPicture(picture);
    lbUndo->setText(QString::number(PictureUndo.label()));
}

// A step whose file has gone from the disk is not brought back.
bool TForm2::stepPictureIsThere()
{
    const QString& path = PictureUndo.currentState();
    if (path.isEmpty() || QFileInfo(path).isFile())
        return true;
    Prompter::warn(this, u"画像ファイルが見つかりません。\r\n旅行地 %1 \"%2\""_s.arg(twoDigits(DestinationIndex),
                                                                                     QDir::toNativeSeparators(path)));
    return false;
}

void TForm2::bbUndoClick()
{
    if (toolRuns())
        return;
    if (PictureUndo.undo()) {
        if (stepPictureIsThere())
            ApplyPictureUndo();
        else
            PictureUndo.redo();
    }
    updateUndoButtons();
}

void TForm2::bbRedoClick()
{
    if (toolRuns())
        return;
    if (PictureUndo.redo()) {
        if (stepPictureIsThere())
            ApplyPictureUndo();
        else
            PictureUndo.undo();
    }
    updateUndoButtons();
}

// Pictures

void TForm2::btLoadCityPicClick()
{
    if (toolRuns())
        return;
    mopd1->Title = u"旅行地画像の取り込み"_s;
    if (cbReload->isChecked()) {
        // With nothing to correct again, the import button does nothing.
        if (!PicturePath.isEmpty())
            ImportDestinationPicture(PicturePath, true, true);
        return;
    }
    if (cbPicDir->isChecked())
        if (TForm1* f1 = mainForm())
            mopd1->InitialDir = f1->PictureFolder;
    if (mopd1->Execute(this))
        ImportDestinationPicture(mopd1->FileName, true, cbKiridasi->isChecked());
}

void TForm2::ImportDestinationPicture(QString path, bool copy, bool force)
{
    TForm1* f1 = mainForm();
    const QSize required = MapPictures::requiredSize(MapPictures::DestinationKind);
    auto restore = [this] {
        QImage previous;
        MapPictures::LoadPictureChecked(MapPictures::DestinationKind, PicturePath, &previous);
        showPicture(previous);
    };

    // Only no name or a missing file takes the picture away; anything else there must read as one.
    if (path.isEmpty() || !QFileInfo::exists(path)) {
        PicturePath.clear();
        showPicture(MapPictures::DrawInstructionPlaceholder(MapPictures::DestinationKind));
        PushPictureUndo(QString());
        return;
    }

    // What is not a picture that can be read back is refused before anything is copied.
    QString why;
    const QImage loaded = PictureFile::load(path, &why);
    if (loaded.isNull()) {
        Prompter::warn(this, why);
        return;
    }

    bool corrected = false;
    QImage picture = loaded;
    if (force || loaded.size() != required) {
        if (!force)
            showPicture(MapPictures::DrawWrongSizePlaceholder(MapPictures::DestinationKind));
        const std::optional<QImage> result =
            f1 ? f1->CorrectPictureSize(this, MapPictures::DestinationKind, path, !force) : std::nullopt;
        if (!result) {
            restore();
            return;
        }
        picture = *result;
        corrected = true;
    }

    const QString previous = PicturePath;
    // A picture from outside the picture folder is always brought in as a working copy, so the
    // map never names a file it does not hold; so is one whose extension does not name its content.
    if (copy || (f1 && !f1->IsInPictureFolder(path)) || !PictureFile::namesItsContent(path)) {
        const QString made = f1 ? f1->MakeWorkingCopy(path, twoDigits(DestinationIndex) + extensionOf(path)) : QString();
        if (made.isEmpty()) {
            restore();
            return;
        }
        PicturePath = made;
    } else {
        PicturePath = path;
    }
    if (corrected && !f1->SaveCorrectedPicture(PicturePath)) {
        PicturePath = previous;
        restore();
        return;
    }
    showPicture(picture);
    PushPictureUndo(PicturePath);
    UpdateDestinationCaption();
    Prompter::inform(this, u"「画像フォルダ」-「%1」フォルダに，\r\n新しい旅行地画像 \"%2\" を保存しました。"_s.arg(
                               f1 ? QDir(f1->PictureFolder).dirName() : QString(), QFileInfo(PicturePath).fileName()));
}

void TForm2::btEditCityPicClick()
{
    TForm1* f1 = mainForm();
    if (!f1)
        return;
    TForm1::PictureEdit edit;
    edit.kind = MapPictures::DestinationKind;
    edit.form = this;
    edit.current = PicturePath;
    edit.name = twoDigits(DestinationIndex);
    edit.take = [this](const QString& picture) { ImportDestinationPicture(picture, false, false); };
    edit.restore = [this] {
        QImage shown;
        MapPictures::LoadPictureChecked(MapPictures::DestinationKind, PicturePath, &shown);
        showPicture(shown);
    };
    edit.names = [this](const QString& path) { return FileOps::sameEntry(PicturePath, path); };
    f1->EditPictureWithTool(edit);
}

void TForm2::btDeleteCityPicClick()
{
    if (PicturePath.isEmpty() || toolRuns())
        return;
    if (Prompter::ask(this, u"旅行地"_s + twoDigits(DestinationIndex) + u" の画像を削除します。いいですか。"_s,
                      Prompter::Buttons::YesNo)
        == Prompter::Answer::Yes)
        ImportDestinationPicture(QString(), false, false);
}

void TForm2::bbPicDirClick()
{
    if (TForm1* f1 = mainForm())
        f1->mmOpenPicDirClick();
}

// Description

void TForm2::bbR1Click(QPushButton* sender)
{
    const int tag = sender->property(TagProperty).toInt();
    if (Memo1->SelLength() == 0 || tag < 1) {
        Memo1->setSelText(sender->text());
    } else {
        const int partnerTag = tag % 2 ? tag + 1 : tag - 1;
        QPushButton* partner = nullptr;
        for (QPushButton* b : findChildren<QPushButton*>(Qt::FindDirectChildrenOnly))
            if (b->property(TagProperty).toInt() == partnerTag) {
                partner = b;
                break;
            }
        const QString opening = tag % 2 ? sender->text() : (partner ? partner->text() : QString());
        const QString closing = tag % 2 ? (partner ? partner->text() : QString()) : sender->text();
        Memo1->setSelText(opening + Memo1->SelText() + closing);
    }
    if (sender == bbHttp)
        Memo1->setSelStart(Memo1->SelStart() - 1);
    Memo1->setFocus();
}

void TForm2::bbBGClick()
{
    const auto colour = Prompter::backend().colourDialog(this, Qt::white);
    if (!colour)
        return;
    // Six digits of the toolkit value: blue, green, red.
    const ColourText::TColor value = ColourText::fromQColor(*colour);
    Memo1->setSelText(u"<bg="_s + u"%1"_s.arg(quint32(value) & 0xFFFFFF, 6, 16, QLatin1Char('0')).toUpper() + u'>');
    Memo1->setFocus();
}

bool TForm2::FormKeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    if (modifiers & Qt::ControlModifier) {
        const bool shift = modifiers & Qt::ShiftModifier;
        QPushButton* button = nullptr;
        switch (key) {
        case Qt::Key_R:
            button = shift ? bbR2 : bbR1;
            break;
        case Qt::Key_G:
            button = shift ? bbG2 : bbG1;
            break;
        case Qt::Key_B:
            button = shift ? bbB2 : bbB1;
            break;
        case Qt::Key_W:
            button = shift ? bbW2 : bbW1;
            break;
        case Qt::Key_U:
            button = shift ? bbU2 : bbU1;
            break;
        case Qt::Key_F:
            button = bbBG;
            break;
        case Qt::Key_H:
            button = bbHttp;
            break;
        default:
            return false;
        }
        if (button == bbBG)
            bbBGClick();
        else
            bbR1Click(button);
        SuppressKeyPress = true;
        return true;
    }
    if (key == Qt::Key_Escape) {
        btCancelClick();
        return true;
    }
    if (key == Qt::Key_F4) {
        btOKClick();
        return true;
    }
    return false;
}

bool TForm2::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyRelease)
        SuppressKeyPress = false;
    // Every road into the description is the control's own to take in; the form adds no filter.
    // The filter sits on every child, the pop-up menu included.
    if (event->type() != QEvent::KeyPress || PopupKeys::forPopup(watched))
        return QDialog::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (FormKeyDown(key->key(), key->modifiers()))
        return true;
    // The description's editing keys go through its pop-up menu's commands.
    if (watched == Memo1) {
        if (key->matches(QKeySequence::Paste)) {
            pmPasteClick();
            return true;
        }
        const QKeySequence pressed(key->keyCombination());
        for (QAction* a : PopupMenu1->actions()) {
            if (!a->shortcut().isEmpty() && a->shortcut() == pressed) {
                a->trigger();
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TForm2::pmUndoClick() { Memo1->UndoText(); }

void TForm2::pmRedoClick() { Memo1->RedoText(); }

void TForm2::pmCutClick()
{
    if (Memo1->SelLength() > 0)
        Memo1->cut();
}

void TForm2::pmCopyClick()
{
    if (Memo1->SelLength() > 0)
        Memo1->copy();
}

void TForm2::pmPasteClick()
{
    pasteIntoDescription(QGuiApplication::clipboard()->text());
}

// The control takes the text in by its rule: every TAB a blank, what the map file cannot hold
// left out and named.
void TForm2::pasteIntoDescription(QString text)
{
    if (!text.isEmpty())
        Memo1->setSelText(text);
}

void TForm2::SetBoxText(QLineEdit* box, const QString& text)
{
    const QValidator* filter = box->validator();
    box->setValidator(nullptr);
    box->setText(text);
    box->setValidator(filter);
}

void TForm2::pmDeleteClick()
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Delete, Qt::NoModifier);
    QCoreApplication::sendEvent(Memo1, &press);
    QCoreApplication::sendEvent(Memo1, &release);
}

void TForm2::pmSelectAllClick() { Memo1->SelectAll(); }

void TForm2::PopupMenu1Popup()
{
    const bool selection = Memo1->SelLength() > 0;
    pmCut->setEnabled(selection);
    pmCopy->setEnabled(selection);
    pmDelete->setEnabled(selection);
    pmPaste->setEnabled(!QGuiApplication::clipboard()->text().isEmpty());
}

void TForm2::btEditClick()
{
    auto* forms = AtlasForms::current();
    if (!forms || !forms->formEditText)
        return;
    TFormEditText& window = *forms->formEditText;
    TMyRichEdit& editor = *window.MyRichEdit1;
    TFormEditText::Host host;
    host.descriptionFont = Memo1->font();
    const std::pair<const char16_t*, QPushButton*> tagButtons[] = {
        {u"bbBG", bbBG}, {u"bbR1", bbR1}, {u"bbR2", bbR2}, {u"bbG1", bbG1}, {u"bbG2", bbG2}, {u"bbB1", bbB1},
        {u"bbB2", bbB2}, {u"bbW1", bbW1}, {u"bbW2", bbW2}, {u"bbU1", bbU1}, {u"bbU2", bbU2}};
    for (const auto& [name, button] : tagButtons)
        host.tagHints.insert(QString::fromUtf16(name), button->statusTip());
    if (TForm1* f1 = mainForm()) {
        host.replaceFlags = &f1->ReplaceFlags;
        host.findFlags = &f1->FindFlags;
        host.scratchFolder = f1->ScratchFolder;
        host.convertFlags = &f1->ConvertFlags;
        host.noChangeChars = &f1->NoChangeChars;
        const int editing = DestinationIndex;
        const QPointer<QWidget> asking(&window);
        host.changeOtherDescriptions = [f1, editing, asking](const std::function<QString(const QString&)>& change) {
            TextAdmission::Result refused;
            if (ChangeOtherDescriptions(f1->Doc, editing, change, &refused)) {
                f1->sg1Model->refresh();
                f1->PushUndo(QString());
            }
            if (const QString message =
                    TextAdmission::refusalMessage(refused, TMyRichEdit::DescriptionAdmission().file);
                !message.isEmpty())
                Prompter::warn(asking ? asking.data() : static_cast<QWidget*>(f1), message);
        };
        host.settingsFolder = f1->SettingsFolder;
        host.optionsChanged = [f1] { f1->SaveSettings(); };
    }
    window.SetHost(host);
    editor.SetText(Memo1->Text());
    editor.setSelStart(Memo1->SelStart());
    editor.ScrollCaret();
    editor.ResetTextUndo();
    editor.setModified(false);
    // The window's page took its text in by the description's rule, so the text comes back as
    // the description holds it.
    if (window.ShowModal() == QDialog::Accepted && editor.Text() != Memo1->Text()) {
        Memo1->SetText(editor.Text());
        // Replacing the text must count as an edit, or OK would not take it.
        Memo1->setModified(true);
    }
    Memo1->setSelStart(editor.SelStart());
    Memo1->ScrollCaret();
    Memo1->setFocus();
}

bool TForm2::ChangeOtherDescriptions(MapDocument& doc, int editing,
                                     const std::function<QString(const QString&)>& change,
                                     TextAdmission::Result* refused)
{
    const TextAdmission::Options description = TMyRichEdit::DescriptionAdmission().options;
    TextAdmission::Result left;
    bool changed = false;
    for (int row = 0; row < MapDocument::DestinationCount; ++row) {
        if (row == editing)
            continue;
        QString& cell = doc.rows[size_t(row)][MapDocument::Description];
        const QString after = HenkanJ::ChangeStoredText(cell, [&](const QString& text) {
            const QString changedText = change(text);
            if (changedText == text)
                return text;
            TextAdmission::Result taken = TextAdmission::admit(changedText, description);
            left.addRefused(taken);
            return taken.text;
        });
        if (after == cell)
            continue;
        cell = after;
        changed = true;
    }
    if (refused) {
        refused->controls = left.controls;
        refused->unstorable = left.unstorable;
    }
    return changed;
}

void TForm2::bbCheckClick()
{
    auto* forms = AtlasForms::current();
    if (!forms || !forms->formCity)
        return;
    TFormCity& city = *forms->formCity;
    city.setWindowTitle(u"ぐるりみつけ隊　ストーリー　（%1番目の旅行地）"_s.arg(DestinationIndex));
    QFont f = city.font();
    f.setFamily(font().family());
    city.setFont(f);
    city.lbCityTitle->setText(Edit1->text().isEmpty() ? u"タイトル１行目"_s : Edit1->text());
    city.lbCountryTitle->setText(Edit2->text().isEmpty() ? u"タイトル２行目"_s : Edit2->text());
    city.SpeechText1 = u"♪"_s + (Edit4->text().isEmpty() ? u"せりふ１行目"_s : Edit4->text()) + u"♪"_s;
    city.SpeechText2 = u"♪"_s + (Edit5->text().isEmpty() ? u"せりふ２行目"_s : Edit5->text()) + u"♪"_s;
    RenderDescriptionMarkup(Memo1->Text().isEmpty() ? u"説明文"_s : Memo1->Text());
    city.DrawPointsBar();
    city.lbCityMes1->setText(u"※次の旅行地に行くには，0000pt必要です。"_s);
    city.lbCityMes2->setText(u"※宝の発掘を行うには，0000pt必要です。"_s);
    city.lbRadar->setText(u"00個"_s);
    city.lbTre->hide();
    city.imCityHaikei = imCityPicture;
    city.ShowModal();
}

void TForm2::RenderDescriptionMarkup(const QString& text)
{
    auto* forms = AtlasForms::current();
    if (!forms || !forms->formCity)
        return;
    TMyRichEdit& memo = *forms->formCity->memoCity;
    QString plain = text;
    plain.replace(u"\r\n"_s, u"\n"_s);
    const ColourText::TColor background = DescriptionRenderer::render(plain, *memo.document());
    memo.SetColor(ColourText::toQColor(background));
    memo.setSelStart(0);
    memo.ScrollCaret();
}
