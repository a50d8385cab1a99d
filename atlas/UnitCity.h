#pragma once

#include <QDialog>
#include <QImage>

class QLabel;
class QPushButton;
class TMyRichEdit;

// The story preview: a destination's arrival scene as the game shows it.
class TFormCity : public QDialog {
    Q_OBJECT

public:
    explicit TFormCity(QWidget* parent = nullptr);

    QLabel *lbCityTitle = nullptr, *lbCountryTitle = nullptr, *lbRadar = nullptr, *lbTre = nullptr,
           *lbCityMes1 = nullptr, *lbCityMes2 = nullptr;
    QPushButton *bbCity = nullptr, *btClose = nullptr;
    TMyRichEdit* memoCity = nullptr;
    // The destination picture the stage is made from.
    QImage imCityHaikei;
    QString SpeechText1, SpeechText2;

    void DrawPointsBar();
    int ShowModal();
};
