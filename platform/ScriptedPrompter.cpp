#include "ScriptedPrompter.h"

#include <QFileInfo>

ScriptedPrompter::ScriptedPrompter() { Prompter::install(this); }

ScriptedPrompter::~ScriptedPrompter() { Prompter::install(nullptr); }

void ScriptedPrompter::sound(Prompter::Sound s) { sounds.push_back(s); }

Prompter::Answer ScriptedPrompter::message(QWidget*, const QString& text, Prompter::Buttons buttons,
                                           Prompter::Kind kind, std::optional<Prompter::Answer> defaultAnswer)
{
    asked.push_back({text, buttons, kind, defaultAnswer});
    if (buttons == Prompter::Buttons::Ok)
        return Prompter::Answer::Ok;
    if (!answers.empty()) {
        Prompter::Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    ++unscripted;
    switch (buttons) {
    case Prompter::Buttons::YesNo:
        return Prompter::Answer::No;
    default:
        return Prompter::Answer::Cancel;
    }
}

Prompter::FileResult ScriptedPrompter::fileDialog(QWidget*, const Prompter::FileRequest& request)
{
    fileRequests.push_back(request);
    // A refused name keeps the dialog open: the next scripted name is the user's next try.
    while (!files.empty()) {
        QString path = files.front();
        files.pop_front();
        if (path.isEmpty())
            return {};
        // As the dialogs do, a name typed without extension gets the default one.
        if (!request.defaultExt.isEmpty() && QFileInfo(path).suffix().isEmpty())
            path += u'.' + request.defaultExt;
        if (!request.canClose || request.canClose(path))
            return {true, path, request.filterIndex};
    }
    ++unscripted;
    return {};
}

std::optional<QColor> ScriptedPrompter::colourDialog(QWidget*, const QColor&)
{
    if (colours.empty()) {
        ++unscripted;
        return std::nullopt;
    }
    auto c = colours.front();
    colours.pop_front();
    return c;
}

int ScriptedPrompter::execModal(QDialog& dialog)
{
    if (modals.empty()) {
        ++unscripted;
        return QDialog::Rejected;
    }
    auto f = std::move(modals.front());
    modals.pop_front();
    return f(dialog);
}

bool ScriptedPrompter::openInShell(const QString& path)
{
    shellOpened << path;
    return shellOpens;
}
