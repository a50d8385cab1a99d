#include "MyFileDialogs.h"

#include "BmpPicture.h"
#include "Prompter.h"
#include "WindowPlacement.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QFrame>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

CleanUpVariant g_cleanUp = CleanUpVariant::Atlas;

QString listMenuRefusal()
{
    return u"右クリックメニューは表示できません。\r\n\r\nファイルの操作（移動，コピー，削除，名前の変更など）は，\r\n編集モードの［素材ファイルの整理］で行って下さい。"_s;
}

// What one Execute hands to the Qt dialog; a copy, so the dialog never reaches back into the
// caller's object.
struct DialogSetup {
    bool save = false;
    bool picture = false;
    QString initialDir;
    bool dirChangeBox = true, dirCreateBtn = true, dirUpBtn = true, dirPrevBtn = true,
         dirEditBox = true, dirEditPath = true, listMenu = true, listChangeFN = true, keepSize = true;
    std::function<QString(int, const QString&)> onTypeChange;
    CleanUpVariant cleanUp = CleanUpVariant::Atlas;
};

int folderDepth(const QString& path)
{
    return int(QDir::cleanPath(QDir(path).absolutePath()).split(u'/', Qt::SkipEmptyParts).size());
}

// The keys that change text or files: refused by the list without its menu and by a locked
// name box.
bool isEditingKey(const QKeyEvent& k)
{
    switch (k.key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        return true;
    case Qt::Key_A:
    case Qt::Key_C:
    case Qt::Key_V:
    case Qt::Key_X:
    case Qt::Key_Z:
        return k.modifiers() & Qt::ControlModifier;
    default:
        return k.matches(QKeySequence::Paste) || k.matches(QKeySequence::Cut) || k.matches(QKeySequence::Copy)
            || k.matches(QKeySequence::Undo) || k.matches(QKeySequence::Redo);
    }
}

bool typesText(const QKeyEvent& k)
{
    if (k.modifiers() & (Qt::ControlModifier | Qt::MetaModifier))
        return false;
    const QString text = k.text();
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c.isPrint(); });
}

// Lives as a child of the Qt dialog and takes away what the switches say, for as long as the
// dialog exists. Qt enables its tool buttons again on every folder change, so the disabled ones
// are watched rather than set once.
class DialogCustomiser : public QObject {
public:
    DialogCustomiser(QFileDialog& dialog, DialogSetup setup)
        : QObject(&dialog), m_dialog(dialog), m_setup(std::move(setup))
    {
        m_lookIn = child<QWidget>(u"lookInCombo"_s);
        m_newFolder = child<QWidget>(u"newFolderButton"_s);
        m_up = child<QWidget>(u"toParentButton"_s);
        m_back = child<QWidget>(u"backButton"_s);
        m_nameBox = child<QLineEdit>(u"fileNameEdit"_s);
        m_types = child<QComboBox>(u"fileTypeCombo"_s);
        m_upAction = dialog.findChild<QAction*>(u"qt_goto_parent_action"_s);
        for (const QString& name : {u"listView"_s, u"treeView"_s})
            if (auto* view = child<QAbstractItemView>(name))
                m_views << view;

        m_baseDepth = folderDepth(m_setup.initialDir.isEmpty() ? dialog.directory().absolutePath()
                                                               : m_setup.initialDir);
        applyUpRule(dialog.directory().absolutePath());
        for (QWidget* w : {m_lookIn.data(), m_newFolder.data(), m_back.data(), m_up.data()}) {
            if (!w)
                continue;
            w->installEventFilter(this);
            if (forcedOff(w))
                w->setEnabled(false);
        }
        if (auto* model = dialog.findChild<QFileSystemModel*>())
            connect(model, &QFileSystemModel::rootPathChanged, this, &DialogCustomiser::folderChanged);

        setUpNameBox();
        setUpLists();
        setUpTypes();
        if (m_setup.picture)
            setUpPreview();
        if (m_setup.keepSize)
            dialog.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::EnabledChange: {
            auto* w = qobject_cast<QWidget*>(watched);
            if (w && w->isEnabled() && forcedOff(w))
                w->setEnabled(false);
            return false;
        }
        case QEvent::Show:
            if (watched == &m_dialog)
                placeOnOpenersScreen();
            return false;
        default:
            break;
        }
        if (watched == m_nameBoxObject.data())
            return nameBoxEvent(event);
        if (isList(watched))
            return listEvent(event);
        return false;
    }

private:
    template <class W>
    W* child(const QString& name) const
    {
        return m_dialog.findChild<W*>(name);
    }

    bool upAllowed() const { return m_setup.dirUpBtn || m_below; }

    bool forcedOff(const QWidget* w) const
    {
        if (w == m_lookIn)
            return !m_setup.dirChangeBox;
        if (w == m_newFolder)
            return !m_setup.dirCreateBtn;
        if (w == m_back)
            return !m_setup.dirPrevBtn;
        if (w == m_up)
            return !upAllowed();
        return false;
    }

    void applyUpRule(const QString& folder)
    {
        m_below = folderDepth(folder) > m_baseDepth;
        if (m_setup.dirUpBtn)
            return;
        // Deeper than the initial folder there is always a parent to go to.
        if (m_up)
            m_up->setEnabled(m_below);
        if (m_upAction)
            m_upAction->setEnabled(m_below);
    }

    void folderChanged(const QString& folder)
    {
        applyUpRule(folder);
        // A name picked in the folder just left means nothing in the new one.
        if (!m_setup.save && m_nameBox)
            m_nameBox->clear();
    }

    void setUpNameBox()
    {
        if (!m_nameBox)
            return;
        m_nameBox->installEventFilter(this);
        m_nameBoxObject = m_nameBox.data();
        if (!m_setup.dirEditBox) {
            m_nameBox->setAttribute(Qt::WA_InputMethodEnabled, false);
            m_nameBox->setAcceptDrops(false);
        }
        if (!m_setup.dirEditPath) {
            // Every user edit, and whatever else changes the text while the user is in the box
            // (the completer); names that the list puts there are real entries and stay whole.
            connect(m_nameBox, &QLineEdit::textEdited, this, &DialogCustomiser::cleanName);
            connect(m_nameBox, &QLineEdit::textChanged, this, [this] {
                if (m_nameBox && m_nameBox->hasFocus())
                    cleanName();
            });
        }
    }

    void cleanName()
    {
        if (m_nameBox)
            cleanFileNameEdit(*m_nameBox, m_setup.cleanUp);
    }

    bool nameBoxEvent(QEvent* event)
    {
        switch (event->type()) {
        case QEvent::ContextMenu:
            return !m_setup.dirEditBox || !m_setup.dirEditPath;
        case QEvent::KeyPress: {
            auto* k = static_cast<QKeyEvent*>(event);
            if (m_setup.dirEditBox || !(isEditingKey(*k) || typesText(*k)))
                return false;
            k->accept();
            return true;
        }
        case QEvent::InputMethod:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            return !m_setup.dirEditBox;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            // The middle button pastes the X11 selection.
            return !m_setup.dirEditBox && static_cast<QMouseEvent*>(event)->button() == Qt::MiddleButton;
        default:
            return false;
        }
    }

    void setUpLists()
    {
        for (const QPointer<QAbstractItemView>& view : std::as_const(m_views)) {
            view->installEventFilter(this);
            view->viewport()->installEventFilter(this);
            m_listObjects.append({QPointer<QObject>(view.data()), QPointer<QObject>(view->viewport())});
            if (!m_setup.listChangeFN)
                view->setEditTriggers(QAbstractItemView::NoEditTriggers);
            // Dragging moves files as the menu's commands would.
            if (!m_setup.listMenu)
                view->setDragDropMode(QAbstractItemView::NoDragDrop);
        }
        // Qt enables Rename afresh each time it builds the menu, but never shows it again.
        if (!m_setup.listChangeFN)
            if (auto* rename = m_dialog.findChild<QAction*>(u"qt_rename_action"_s))
                rename->setVisible(false);
    }

    // Compares identities only: the filter also sees the lists' events while they are being
    // destroyed, when they may no longer be touched as lists.
    bool isList(const QObject* o) const
    {
        for (const auto& [view, viewport] : m_listObjects)
            if (o && (o == view.data() || o == viewport.data()))
                return true;
        return false;
    }

    bool listKeyRefused(const QKeyEvent& k) const
    {
        if (!m_setup.listMenu && isEditingKey(k))
            return true;
        // Qt's list goes up a level on Backspace and back on Alt+Left.
        if (k.key() == Qt::Key_Backspace && !upAllowed())
            return true;
        return !m_setup.dirPrevBtn
            && (k.key() == Qt::Key_Back || (k.key() == Qt::Key_Left && k.modifiers() == Qt::AltModifier));
    }

    bool listEvent(QEvent* event)
    {
        switch (event->type()) {
        case QEvent::ContextMenu:
            if (m_setup.listMenu)
                return false;
            Prompter::warn(&m_dialog, listMenuRefusal());
            return true;
        case QEvent::ShortcutOverride:
        case QEvent::KeyPress: {
            // Accepting the override keeps Delete from reaching the list's delete shortcut; the
            // key press that follows is then swallowed.
            auto* k = static_cast<QKeyEvent*>(event);
            if (!listKeyRefused(*k))
                return false;
            k->accept();
            return true;
        }
        default:
            return false;
        }
    }

    // A name typed without extension takes the chosen type's: "JPEG ﾌｧｲﾙ (*.jpg)" gives ".jpg"; a type
    // of several patterns gives the caller's default.
    void applyTypeExtension()
    {
        static const QRegularExpression lastParentheses(u"\\(([^()]*)\\)\\s*$"_s);
        const QStringList masks =
            lastParentheses.match(m_dialog.selectedNameFilter()).captured(1).split(u' ', Qt::SkipEmptyParts);
        static const QRegularExpression oneExtension(u"^\\*\\.(\\w+)$"_s);
        const QRegularExpressionMatch only =
            masks.size() == 1 ? oneExtension.match(masks.first()) : QRegularExpressionMatch();
        m_dialog.setDefaultSuffix(only.hasMatch() ? only.captured(1) : m_defaultExt);
    }

    void setUpTypes()
    {
        m_defaultExt = m_dialog.defaultSuffix();
        applyTypeExtension();
        if (!m_types)
            return;
        // Qt rewrites the extension of the typed name to the chosen type's first mask; the name
        // must follow OnTypeChange alone, so Qt's handler is replaced by one that applies the type
        // and puts the name back.
        if (QObject::disconnect(m_types, SIGNAL(activated(int)), &m_dialog, SLOT(_q_useNameFilter(int))))
            connect(m_types, &QComboBox::activated, this, &DialogCustomiser::typeChosen);
        else
            connect(m_types, &QComboBox::activated, this, [this](int index) {
                applyTypeExtension();
                if (m_setup.onTypeChange && m_nameBox)
                    m_nameBox->setText(m_setup.onTypeChange(index + 1, m_nameBox->text()));
            });
    }

    void typeChosen(int index)
    {
        if (!m_nameBox || !m_types)
            return;
        const QString typed = m_nameBox->text();
        m_dialog.selectNameFilter(m_types->itemText(index));
        applyTypeExtension();
        const QString name = m_setup.onTypeChange ? m_setup.onTypeChange(index + 1, typed) : typed;
        if (m_nameBox->text() != name)
            m_nameBox->setText(name);
    }

    // The toolkit's picture dialogs show the picture chosen in the list beside it, scaled to fit,
    // with its size; nothing for a file the programs cannot read.
    void setUpPreview()
    {
        auto* grid = qobject_cast<QGridLayout*>(m_dialog.layout());
        if (!grid)
            return;
        auto* pane = new QFrame(&m_dialog);
        pane->setObjectName(u"picturePreview"_s);
        pane->setFrameShape(QFrame::StyledPanel);
        auto* column = new QVBoxLayout(pane);
        m_previewSize = new QLabel(pane);
        m_previewSize->setObjectName(u"picturePreviewSize"_s);
        m_previewSize->setAlignment(Qt::AlignCenter);
        // Room for the size limit's message.
        m_previewSize->setWordWrap(true);
        m_previewSize->setFixedWidth(PreviewSide);
        m_previewPicture = new QLabel(pane);
        m_previewPicture->setObjectName(u"picturePreviewPicture"_s);
        m_previewPicture->setAlignment(Qt::AlignCenter);
        m_previewPicture->setFixedSize(PreviewSide, PreviewSide);
        column->addWidget(m_previewSize);
        column->addWidget(m_previewPicture);
        column->addStretch();
        grid->addWidget(pane, 0, grid->columnCount(), grid->rowCount(), 1);
        // Read once the choice settles, so that walking the list with the arrows stays quick.
        m_previewTimer = new QTimer(this);
        m_previewTimer->setSingleShot(true);
        m_previewTimer->setInterval(100);
        connect(m_previewTimer, &QTimer::timeout, this, &DialogCustomiser::showPreview);
        connect(&m_dialog, &QFileDialog::currentChanged, this, [this](const QString& path) {
            m_previewPath = path;
            m_previewTimer->start();
        });
        // A name typed, or completed, in the name box chooses a picture too, and so does one
        // the dialog opens with.
        if (m_nameBox) {
            connect(m_nameBox, &QLineEdit::textChanged, this, [this] {
                m_previewPath = m_dialog.selectedFiles().value(0);
                m_previewTimer->start();
            });
            if (!m_nameBox->text().isEmpty()) {
                m_previewPath = m_dialog.selectedFiles().value(0);
                m_previewTimer->start();
            }
        }
    }

    void showPreview()
    {
        PictureFile::Preview preview;
        if (QFileInfo(m_previewPath).isFile())
            preview = PictureFile::preview(m_previewPath, {PreviewSide, PreviewSide});
        const QImage& picture = preview.picture;
        if (picture.isNull()) {
            m_previewSize->setText(preview.refusal);
            m_previewPicture->clear();
            return;
        }
        m_previewSize->setText(u"%1 x %2"_s.arg(preview.size.width()).arg(preview.size.height()));
        const QSize fit = preview.size.scaled(PreviewSide, PreviewSide, Qt::KeepAspectRatio).expandedTo({1, 1});
        const bool shrinks = fit.width() < picture.width();
        m_previewPicture->setPixmap(QPixmap::fromImage(
            picture.scaled(fit, Qt::IgnoreAspectRatio, shrinks ? Qt::SmoothTransformation : Qt::FastTransformation)));
    }

    // On the screen of the window that opens the dialog, and wholly in its available area.
    void placeOnOpenersScreen()
    {
        const QSize inside = m_dialog.size();
        WindowPlacement::place(m_dialog, WindowPlacement::openerOf(m_dialog, m_dialog.parentWidget()),
                               [inside](const WindowPlacement::Target& t) {
                                   const QSize frame = inside.grownBy(t.frame);
                                   return WindowPlacement::fitFrame(QRect(keepSizePosition(t.screen, frame), frame),
                                                                    t.available, WindowPlacement::Shrink::No);
                               });
    }

    QFileDialog& m_dialog;
    const DialogSetup m_setup;
    QPointer<QWidget> m_lookIn, m_newFolder, m_up, m_back;
    QPointer<QLineEdit> m_nameBox;
    QPointer<QObject> m_nameBoxObject; // for identity checks while the box is being destroyed
    QPointer<QComboBox> m_types;
    QPointer<QAction> m_upAction;
    QString m_defaultExt;
    static constexpr int PreviewSide = 160;
    QLabel* m_previewSize = nullptr;    // owned by the dialog
    QLabel* m_previewPicture = nullptr; // owned by the dialog
    QTimer* m_previewTimer = nullptr;
    QString m_previewPath;
    QList<QPointer<QAbstractItemView>> m_views;
    QList<std::pair<QPointer<QObject>, QPointer<QObject>>> m_listObjects; // each list and its viewport
    int m_baseDepth = 0;
    bool m_below = false;
};

} // namespace

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

QString cleanFileName(const QString& typed, CleanUpVariant variant)
{
    const QString removed = variant == CleanUpVariant::Atlas ? u"\\/:*?\"<>|"_s : u"\\/\""_s;
    QString out;
    out.reserve(typed.size());
    for (const QChar c : typed) {
        if (removed.contains(c))
            continue;
        // Removal first, then the fold, so no removed character can leave two dots side by side.
        if (c == u'.' && out.endsWith(u'.'))
            continue;
        out += c;
    }
    qsizetype tildes = 0;
    while (tildes < out.size() && out.at(tildes) == u'~')
        ++tildes;
    out.remove(0, tildes);
    return out;
}

void cleanFileNameEdit(QLineEdit& edit, CleanUpVariant variant)
{
    const QString text = edit.text();
    const QString clean = cleanFileName(text, variant);
    if (clean == text)
        return;
    int start = edit.hasSelectedText() ? edit.selectionStart() : edit.cursorPosition();
    int end = edit.hasSelectedText() ? edit.selectionEnd() : start;
    edit.setText(clean);
    start = qMin(start, int(clean.size()));
    end = qMin(end, int(clean.size()));
    if (start == end)
        edit.setCursorPosition(start);
    else
        edit.setSelection(start, end - start);
}

void setFileNameCleanUp(CleanUpVariant variant) { g_cleanUp = variant; }

CleanUpVariant fileNameCleanUp() { return g_cleanUp; }

QPoint keepSizePosition(const QRect& monitor, const QSize& size)
{
    return {monitor.left() + (monitor.width() - size.width()) / 2,
            monitor.top() + (monitor.height() - size.height()) / 3};
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
    if (m_picture) {
        // Refused before the caller's own check, so no overwrite question is asked for a name
        // that could never be written.
        request.canClose = [parent, save = m_save, next = OnCanClose](const QString& path) {
            if (!PictureFile::isSupportedName(path)) {
                Prompter::warn(parent, PictureFile::refusedNameMessage(path, save ? PictureFile::NameUse::Save
                                                                                  : PictureFile::NameUse::Open));
                return false;
            }
            return !next || next(path);
        };
    }

    DialogSetup setup;
    setup.save = m_save;
    setup.picture = m_picture;
    setup.initialDir = InitialDir;
    setup.dirChangeBox = DirChangeBox;
    setup.dirCreateBtn = DirCreateBtn;
    setup.dirUpBtn = DirUpBtn;
    setup.dirPrevBtn = DirPrevBtn;
    setup.dirEditBox = DirEditBox;
    setup.dirEditPath = DirEditPath;
    setup.listMenu = ListMenu;
    setup.listChangeFN = ListChangeFN;
    setup.keepSize = KeepSize;
    setup.onTypeChange = OnTypeChange;
    setup.cleanUp = fileNameCleanUp();
    request.customise = [setup](QDialog& dialog) {
        if (auto* fileDialog = qobject_cast<QFileDialog*>(&dialog))
            new DialogCustomiser(*fileDialog, setup);
    };

    const Prompter::FileResult result = Prompter::backend().fileDialog(parent, request);
    if (!result.accepted)
        return false;
    FileName = result.path;
    FilterIndex = result.filterIndex;
    return true;
}

bool ConfirmOverwrite(QWidget* parent, const QString& path, const QString& shownName)
{
    if (!QFileInfo::exists(path))
        return true;
    return Prompter::ask(parent, shownName + u"\r\n"_s + u"ファイルはすでに存在します。上書き保存しますか。"_s,
                         Prompter::Buttons::YesNo)
           == Prompter::Answer::Yes;
}
