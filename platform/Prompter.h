#pragma once

#include <QColor>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class QWidget;
class QDialog;
class QFileDialog;
class QFont;
class QFontDialog;

// The one seam through which every message box, question, file dialog and modal form goes.
// The running programs use the Qt implementation; tests install a scripted one, so no test ever
// waits on a modal window.
namespace Prompter {

enum class Sound { Exclamation, Asterisk };
enum class Buttons { Ok, YesNo, YesNoCancel, YesCancel };
enum class Kind { Warning, Information, Error, Question };
enum class Answer { Ok, Cancel, Yes, No };

// What a file dialog is asked to show; the chosen path comes back, or nothing on Cancel.
struct FileRequest {
    bool save = false;
    QString title;
    QString folder;          // initial folder
    QString fileName;        // initial name
    QStringList filters;     // "BMP ﾌｧｲﾙ (*.bmp)" ...
    int filterIndex = 1;     // 1-based, as the toolkit counts
    QString defaultExt;      // without the dot
    // Checked when the user accepts a name; false keeps the dialog open.
    std::function<bool(const QString&)> canClose;
    // Lets the dialog object customise the real Qt dialog (switches, name clean-up).
    std::function<void(QDialog&)> customise;
};

struct FileResult {
    bool accepted = false;
    QString path;
    int filterIndex = 1;
};

class Backend {
public:
    virtual ~Backend() = default;
    virtual void sound(Sound sound) = 0;
    // The default answer is the button Return presses; none: the first button.
    virtual Answer message(QWidget* parent, const QString& text, Buttons buttons, Kind kind,
                           std::optional<Answer> defaultAnswer = std::nullopt) = 0;
    virtual FileResult fileDialog(QWidget* parent, const FileRequest& request) = 0;
    // The colour dialog; nothing on Cancel.
    virtual std::optional<QColor> colourDialog(QWidget* parent, const QColor& initial) = 0;
    // Shows a form modally and returns its result code (QDialog::Accepted ...).
    virtual int execModal(QDialog& dialog) = 0;
    // Opens a folder or document in the desktop's associated program.
    virtual bool openInShell(const QString& path) = 0;
};

// Builds the Qt file dialog exactly as the Qt backend shows it (non-native, the request's
// settings and customise applied) without showing it, so tests can look inside.
std::unique_ptr<QFileDialog> makeFileDialog(QWidget* parent, const FileRequest& request);

// The font dialog, shown through execModal, opened on the font as it is drawn: a family list whose
// first name this system lacks opens on the family the text really shows, not on the dialog's first.
std::unique_ptr<QFontDialog> makeFontDialog(QWidget* parent, const QFont& initial);

// The backend in force; the Qt one unless a test installed its own.
Backend& backend();
// Installs a backend (not owned) or, with nullptr, goes back to the Qt one.
void install(Backend* backend);

// The house conventions: a question is preceded by the exclamation sound, a box with only OK by
// the asterisk sound.
void warn(QWidget* parent, const QString& text);
void inform(QWidget* parent, const QString& text);
void error(QWidget* parent, const QString& text);
// A question whose default (Return) is defaultAnswer, where the first button would lose work.
Answer ask(QWidget* parent, const QString& text, Buttons buttons, std::optional<Answer> defaultAnswer = std::nullopt);

} // namespace Prompter
