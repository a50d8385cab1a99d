#pragma once

#include <QDialog>
#include <QImage>
#include <QList>

class QLabel;
class QPushButton;
class QTimer;
class TMyRichEdit;

// One frame of the arrival scene: where the walkers and the balloon stand, and when the next
// tick comes.
struct CityFrame {
    int walkX = 0, walkY = 80, phase = 0;
    // 0 none, 1 and 2 the speech texts, 3 " こんにちはー。", 4 " こんにちは♪".
    int balloon = 0;
    int balloonX = 0, balloonY = 0;
    bool centred = false;
    int nextInterval = 500;
    bool last = false; // the replay is offered and the clock stops
    static CityFrame at(int n);
};

// A bracketed span of a line: its bytes from the opener's first to the closer's last, and its
// start in the whole text; empty when there is none.
struct BracketedSpan {
    QByteArray text;
    int length = 0;
    int position = 0;
};
// Looks in [lineStart, lineEnd) of the code-page-932 text for the innermost `open` ... `close`
// around `caret`; only single-byte characters count as brackets.
BracketedSpan FindBracketedSpan(const QByteArray& text, int lineStart, int lineEnd, int caret, const QByteArray& open,
                                const QByteArray& close);

// The story preview: a destination's arrival scene as the game shows it.
class TFormCity : public QDialog {
    Q_OBJECT

public:
    explicit TFormCity(QWidget* parent = nullptr);
    ~TFormCity() override;

    QLabel *lbCityTitle = nullptr, *lbCountryTitle = nullptr, *lbRadar = nullptr, *lbTre = nullptr,
           *lbCityMes1 = nullptr, *lbCityMes2 = nullptr, *imCityPoint = nullptr;
    QWidget* imCityOmote = nullptr;
    QPushButton *bbRadar = nullptr, *bbCity = nullptr, *btAction = nullptr, *btClose = nullptr;
    TMyRichEdit* memoCity = nullptr;
    QTimer* Timer1 = nullptr;
    // The destination picture the stage is made from.
    QImage imCityHaikei;
    // The image lists: the points icon, six guests, six walkers in two phases (image 2f + phase).
    QList<QImage> imlFruit, imlGuest, imlAnime;
    QString SpeechText1, SpeechText2;
    int FrameCounter = 0;
    // Made at each showing, reused by a replay, freed at closing.
    QImage GuestPicture, StagePicture;
    int LastClickPos = 0;
    // The last guest picked, for tests.
    int GuestIndex = 0;

    void DrawPointsBar();
    int ShowModal();

    void FormShow();
    void FormClose();
    bool FormKeyDown(int key, Qt::KeyboardModifiers modifiers);
    void FormClick();
    void Timer1Timer();
    // Composes frame n into StagePicture.
    void ComposeFrame(int n);
    void btActionClick();
    void bbCityClick();
    void bbRadarClick();
    void lbCityTitleClick();
    void memoCityDblClick(bool realClick);
    BracketedSpan FindBracketedSpan(const QByteArray& open, const QByteArray& close) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void done(int result) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void ensurePictures();
    // Starts (or restarts) the scene on the bitmaps of this showing.
    void start();
    void drawBalloon(QPainter& painter, const QString& text, int x, int y, bool centred);
    void drawWalkers(QPainter& painter, int x, int y, int phase);
};
