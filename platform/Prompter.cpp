#include "Prompter.h"

#include "WindowPlacement.h"

#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QFontInfo>
#include <QMessageBox>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace Prompter {
namespace {

// A non-native file dialog whose accept can be vetoed, as the toolkit's close check does.
class CheckedFileDialog : public QFileDialog {
public:
    CheckedFileDialog(QWidget* parent, FileRequest r) : QFileDialog(parent), m_request(std::move(r)) {}

    void accept() override
    {
        const QStringList chosen = selectedFiles();
        if (m_request.canClose && !chosen.isEmpty() && !QFileInfo(chosen.first()).isDir()
            && !m_request.canClose(chosen.first()))
            return;
        QFileDialog::accept();
    }

private:
    // A copy, so a dialog built for a test does not depend on the caller's request.
    const FileRequest m_request;
};

// A box stays where Qt puts it, over its parent, when its whole frame lies in the available area of
// the screen of the window that opens it; otherwise (a parent not shown, or on another screen) it
// is centred there.
class PlacedMessageBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent* event) override
    {
        // Qt sizes and places the box here.
        QMessageBox::showEvent(event);
        const QPoint chosen = pos();
        const QSize inside = size();
        WindowPlacement::place(*this, WindowPlacement::openerOf(*this, parentWidget()),
                               [chosen, inside](const WindowPlacement::Target& t) {
                                   const QRect frame(chosen, inside.grownBy(t.frame));
                                   return t.available.contains(frame)
                                              ? frame
                                              : WindowPlacement::centredFrame(frame.size(), t.available,
                                                                              WindowPlacement::Shrink::No);
                               });
    }
};

class QtBackend : public Backend {
public:
    void sound(Sound) override { QApplication::beep(); }

    Answer message(QWidget* parent, const QString& text, Buttons buttons, Kind kind,
                   std::optional<Answer> defaultAnswer = std::nullopt) override
    {
        PlacedMessageBox box(parent);
        box.setWindowTitle(QApplication::applicationName());
        box.setText(text);
        switch (kind) {
        case Kind::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case Kind::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case Kind::Error:
            box.setIcon(QMessageBox::Critical);
            break;
        case Kind::Question:
            box.setIcon(QMessageBox::Question);
            break;
        }
        switch (buttons) {
        case Buttons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case Buttons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
        case Buttons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
        case Buttons::YesCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::Cancel);
            break;
        }
        if (defaultAnswer) {
            const QMessageBox::StandardButton button = *defaultAnswer == Answer::Yes  ? QMessageBox::Yes
                                                       : *defaultAnswer == Answer::No ? QMessageBox::No
                                                       : *defaultAnswer == Answer::Ok ? QMessageBox::Ok
                                                                                      : QMessageBox::Cancel;
            if (box.button(button))
                box.setDefaultButton(button);
        }
        switch (box.exec()) {
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        case QMessageBox::Ok:
            return Answer::Ok;
        default:
            return Answer::Cancel;
        }
    }

    FileResult fileDialog(QWidget* parent, const FileRequest& r) override
    {
        const std::unique_ptr<QFileDialog> dlg = makeFileDialog(parent, r);
        if (dlg->exec() != QDialog::Accepted || dlg->selectedFiles().isEmpty())
            return {};
        return {true, dlg->selectedFiles().first(), int(r.filters.indexOf(dlg->selectedNameFilter())) + 1};
    }

    std::optional<QColor> colourDialog(QWidget* parent, const QColor& initial) override
    {
        const QColor c = QColorDialog::getColor(initial, parent, QString(), QColorDialog::DontUseNativeDialog);
        return c.isValid() ? std::optional<QColor>(c) : std::nullopt;
    }

    int execModal(QDialog& dialog) override { return dialog.exec(); }

    bool openInShell(const QString& path) override
    {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    }
};

QtBackend& qtBackend()
{
    static QtBackend b;
    return b;
}

Backend* g_installed = nullptr;

} // namespace

std::unique_ptr<QFontDialog> makeFontDialog(QWidget* parent, const QFont& initial)
{
    QFont shown = initial;
    shown.setFamilies({QFontInfo(initial).family()});
    auto dlg = std::make_unique<QFontDialog>(parent);
    dlg->setOption(QFontDialog::DontUseNativeDialog, true);
    dlg->setCurrentFont(shown);
    return dlg;
}

std::unique_ptr<QFileDialog> makeFileDialog(QWidget* parent, const FileRequest& r)
{
    auto dlg = std::make_unique<CheckedFileDialog>(parent, r);
    dlg->setOption(QFileDialog::DontUseNativeDialog, true);
    // The toolkit dialogs ask their own overwrite question through canClose.
    dlg->setOption(QFileDialog::DontConfirmOverwrite, true);
    dlg->setAcceptMode(r.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dlg->setFileMode(r.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!r.title.isEmpty())
        dlg->setWindowTitle(r.title);
    if (!r.folder.isEmpty())
        dlg->setDirectory(r.folder);
    // The type goes first: choosing it in a save dialog rewrites the extension of a name already
    // in the box, and the initial name must show as given.
    if (!r.filters.isEmpty()) {
        dlg->setNameFilters(r.filters);
        const int i = qBound(1, r.filterIndex, int(r.filters.size())) - 1;
        dlg->selectNameFilter(r.filters.at(i));
    }
    if (!r.fileName.isEmpty())
        dlg->selectFile(r.fileName);
    // Added only to a name without any extension.
    dlg->setDefaultSuffix(r.defaultExt);
    if (r.customise)
        r.customise(*dlg);
    return dlg;
}

Backend& backend() { return g_installed ? *g_installed : qtBackend(); }

void install(Backend* b) { g_installed = b; }

void warn(QWidget* parent, const QString& text)
{
    backend().sound(Sound::Asterisk);
    backend().message(parent, text, Buttons::Ok, Kind::Warning);
}

void inform(QWidget* parent, const QString& text)
{
    backend().sound(Sound::Asterisk);
    backend().message(parent, text, Buttons::Ok, Kind::Information);
}

void error(QWidget* parent, const QString& text)
{
    backend().sound(Sound::Asterisk);
    backend().message(parent, text, Buttons::Ok, Kind::Error);
}

Answer ask(QWidget* parent, const QString& text, Buttons buttons, std::optional<Answer> defaultAnswer)
{
    backend().sound(Sound::Exclamation);
    return backend().message(parent, text, buttons, Kind::Question, defaultAnswer);
}

} // namespace Prompter
