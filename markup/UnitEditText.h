#pragma once

#include <QDialog>

class TMyRichEdit;

// The description editor window with its scratch pages.
class TFormEditText : public QDialog {
    Q_OBJECT

public:
    explicit TFormEditText(QWidget* parent = nullptr);

    TMyRichEdit* MyRichEdit1 = nullptr;

    int ShowModal();

    // Floating scratch pages hide while the application is inactive and come back at their bounds.
    void HideFloatingPages();
    void ShowFloatingPages();

    // Scratch pages that are shown and modified, for the question at closing.
    int ModifiedScratchPageCount() const;
    // Writes every scratch page to its own file and puts it on top of the scratch history.
    void SaveAllScratchPages();
    void SaveScratchHistory();
};
