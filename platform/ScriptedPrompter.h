#pragma once

#include "Prompter.h"

#include <QDialog>
#include <deque>
#include <functional>
#include <vector>

// A Prompter backend for tests: answers from a script, records what it was asked, never shows a
// window. Installs itself for its lifetime.
class ScriptedPrompter : public Prompter::Backend {
public:
    struct Asked {
        QString text;
        Prompter::Buttons buttons;
        Prompter::Kind kind;
        std::optional<Prompter::Answer> defaultAnswer = std::nullopt;
    };

    ScriptedPrompter();
    ~ScriptedPrompter() override;

    // Answers in order of the questions to come (boxes with only OK take none); a question with
    // no scripted answer gets No or Cancel (the safe default) and is counted in unscripted.
    std::deque<Prompter::Answer> answers;
    // Paths for file dialogs in order; an empty string cancels.
    std::deque<QString> files;
    // Colours for colour dialogs in order; nothing cancels.
    std::deque<std::optional<QColor>> colours;
    // Called for each modal form instead of showing it; returns the result code.
    std::deque<std::function<int(QDialog&)>> modals;
    // Paths handed to the shell, and whether the shell has a program to open them.
    QStringList shellOpened;
    bool shellOpens = true;

    std::vector<Asked> asked;
    std::vector<Prompter::Sound> sounds;
    std::vector<Prompter::FileRequest> fileRequests;
    int unscripted = 0;

    QString lastText() const { return asked.empty() ? QString() : asked.back().text; }

    void sound(Prompter::Sound sound) override;
    Prompter::Answer message(QWidget* parent, const QString& text, Prompter::Buttons buttons, Prompter::Kind kind,
                             std::optional<Prompter::Answer> defaultAnswer = std::nullopt) override;
    Prompter::FileResult fileDialog(QWidget* parent, const Prompter::FileRequest& request) override;
    std::optional<QColor> colourDialog(QWidget* parent, const QColor& initial) override;
    int execModal(QDialog& dialog) override;
    bool openInShell(const QString& path) override;
};
