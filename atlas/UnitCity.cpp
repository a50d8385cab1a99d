#include "UnitCity.h"

#include "Cp932.h"
#include "FixedColours.h"
#include "MyRichEdit.h"
#include "PopupKeys.h"
#include "Prompter.h"
#include "WindowPlacement.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

constexpr QSize StageSize(400, 225);
const QColor PointsColour(0, 0, 255); // the toolkit's $00FF0000

// The stage draws the frame composed last, stretched to its size.
class StageView : public QWidget {
public:
    StageView(const QImage* picture, QWidget* parent)
        : QWidget(parent)
        , m_picture(picture)
    {
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        if (!m_picture->isNull())
            p.drawImage(rect(), *m_picture);
    }

private:
    const QImage* m_picture;
};

QImage blank(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// A walker: a traveller with a pack, legs apart in phase 0 and together in phase 1.
QImage walker(int figure, int phase)
{
    static const QColor coats[] = {QColor(220, 40, 40),  QColor(40, 120, 220), QColor(40, 170, 60),
                                   QColor(230, 150, 20), QColor(150, 60, 200), QColor(20, 170, 170)};
    QImage image = blank(70, 70);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor coat = coats[figure % 6];
    p.setPen(QPen(Qt::black, 3, Qt::SolidLine, Qt::RoundCap));
    if (phase == 0) {
        p.drawLine(35, 48, 24, 66);
        p.drawLine(35, 48, 46, 66);
    } else {
        p.drawLine(35, 48, 32, 66);
        p.drawLine(35, 48, 38, 66);
    }
    p.setPen(QPen(coat.darker(), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(35, 28, phase == 0 ? 22 : 27, 44); // the arm swings with the legs
    p.setPen(Qt::NoPen);
    p.setBrush(coat);
    p.drawRoundedRect(27, 24, 16, 26, 5, 5);
    p.setBrush(coat.darker(150));
    p.drawRoundedRect(41, 26, 9, 16, 3, 3); // the pack
    p.setBrush(QColor(250, 215, 180));
    p.drawEllipse(QPoint(35, 15), 9, 9);
    p.setBrush(Qt::black);
    p.drawEllipse(QPoint(31, 14), 1, 2); // facing left, the way they walk
    return image;
}

// A guest: a round face with a hat of its own colour and shape.
QImage guest(int index)
{
    static const QColor hats[] = {QColor(200, 30, 30), QColor(30, 90, 200),   QColor(250, 200, 0),
                                  QColor(30, 160, 80), QColor(240, 120, 190), QColor(120, 70, 30)};
    QImage image = blank(70, 70);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 2));
    p.setBrush(QColor(250, 215, 180));
    p.drawEllipse(QPoint(35, 42), 22, 22);
    p.setBrush(Qt::black);
    p.drawEllipse(QPoint(27, 40), 3, 4);
    p.drawEllipse(QPoint(43, 40), 3, 4);
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRect(26, 44, 18, 12), 200 * 16, 140 * 16);
    p.setBrush(hats[index % 6]);
    if (index % 3 == 0)
        p.drawPolygon(QPolygon({QPoint(14, 24), QPoint(56, 24), QPoint(35, 2)}));
    else if (index % 3 == 1)
        p.drawRect(20, 6, 30, 16);
    else
        p.drawChord(QRect(13, 4, 44, 36), 0, 180 * 16);
    return image;
}

// The points icon: a red fruit with a leaf.
QImage fruit()
{
    QImage image = blank(30, 30);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(120, 0, 0), 1));
    p.setBrush(QColor(230, 30, 30));
    p.drawEllipse(QRect(3, 7, 24, 21));
    p.setPen(QPen(QColor(90, 50, 10), 2));
    p.drawLine(15, 9, 17, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 160, 40));
    p.drawEllipse(QRect(17, 1, 9, 5));
    return image;
}

// The radar button's picture.
QIcon radarIcon()
{
    QImage image = blank(20, 20);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0, 140, 0), 1.5));
    p.setBrush(QColor(200, 255, 200));
    p.drawEllipse(QRect(1, 1, 18, 18));
    p.drawEllipse(QRect(6, 6, 8, 8));
    p.drawLine(10, 10, 17, 4);
    return QIcon(QPixmap::fromImage(image));
}

} // namespace

CityFrame CityFrame::at(int n)
{
    CityFrame f;
    if (n <= 16) {
        f.walkX = 410 - 15 * n;
        f.phase = n % 2;
        if (n >= 3 && n <= 14) {
            f.centred = true;
            if ((n / 3) % 2) {
                f.balloon = 1;
                f.balloonX = 520 - 30 * n;
                f.balloonY = 10;
            } else {
                f.balloon = 2;
                f.balloonX = 540 - 30 * n;
                f.balloonY = 40;
            }
        }
        return f;
    }
    f.walkX = 170;
    switch (n) {
    case 17:
        f.balloon = 3;
        f.balloonX = 170;
        f.balloonY = 40;
        f.centred = true;
        f.nextInterval = 1500;
        break;
    case 18:
        f.nextInterval = 1000;
        break;
    case 19:
        f.balloon = 4;
        f.balloonX = 10;
        f.balloonY = 55;
        f.nextInterval = 2000;
        break;
    default:
        f.last = true;
        break;
    }
    return f;
}

BracketedSpan FindBracketedSpan(const QByteArray& text, int lineStart, int lineEnd, int caret, const QByteArray& open,
                                const QByteArray& close)
{
    lineStart = std::clamp(lineStart, 0, int(text.size()));
    lineEnd = std::clamp(lineEnd, lineStart, int(text.size()));
    // Character starts of the line; brackets count only where a single-byte character starts.
    std::vector<int> starts;
    for (int i = lineStart; i < lineEnd; i += Cp932::isLeadByte(uchar(text[i])) ? 2 : 1)
        starts.push_back(i);
    const auto at = [&](int i, const QByteArray& what) {
        return !Cp932::isLeadByte(uchar(text[i])) && i + what.size() <= lineEnd && text.mid(i, what.size()) == what;
    };
    int b = 0;
    for (int k = int(starts.size()) - 1; k >= 0; --k) {
        const int i = starts[size_t(k)];
        if (i >= caret)
            continue;
        if (at(i, close)) {
            --b;
        } else if (at(i, open)) {
            if (b != 0) {
                ++b;
                continue;
            }
            int d = 0;
            for (size_t r = size_t(k) + 1; r < starts.size(); ++r) {
                const int j = starts[r];
                if (at(j, open)) {
                    ++d;
                } else if (at(j, close)) {
                    if (d == 0) {
                        const int length = j + int(close.size()) - i;
                        return {text.mid(i, length), length, i};
                    }
                    --d;
                }
            }
            b = d + 1;
        }
    }
    return {};
}

TFormCity::TFormCity(QWidget* parent) : QDialog(parent)
{
    setObjectName(u"FormCity"_s);
    setWindowTitle(u"ぐるりみつけ隊　ストーリー"_s);
    setFixedSize(417, 457);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    const auto label = [this](const QRect& bounds, bool centred) {
        auto* l = new QLabel(this);
        l->setGeometry(bounds);
        if (centred)
            l->setAlignment(Qt::AlignCenter);
        return l;
    };
    lbCityTitle = label({8, 10, 401, 21}, true);
    lbCountryTitle = label({8, 39, 401, 21}, true);
    imCityOmote = new StageView(&StagePicture, this);
    imCityOmote->setGeometry(9, 65, 400, 225);
    memoCity = new TMyRichEdit(this);
    memoCity->setGeometry(32, 86, 352, 182);
    memoCity->setIndentLeft(8);
    memoCity->setIndentTop(4);
    memoCity->setReadOnly(true);
    memoCity->setUndoMax(20);
    // The rendered description shows as the game shows it: no line-end marks.
    memoCity->StrColor().ColorCREnabled = false;
    memoCity->hide();
    bbRadar = new QPushButton(this);
    bbRadar->setGeometry(8, 292, 25, 25);
    bbRadar->setIcon(radarIcon());
    lbRadar = label({37, 296, 70, 21}, false);
    lbTre = label({108, 296, 201, 21}, true);
    lbTre->setText(u"1個の財宝を発見"_s);
    bbCity = new QPushButton(u"プレイヤー"_s, this);
    bbCity->setGeometry(311, 292, 98, 24);
    imCityPoint = label({0, 322, 417, 31}, false);
    // The points are drawn in a fixed blue, so the ground the form shows behind them is fixed too.
    FixedColours::fix(*imCityPoint, QPalette::Window, QColor(FixedColours::ButtonFace), PointsColour);
    lbCityMes1 = label({0, 360, 417, 16}, true);
    lbCityMes2 = label({0, 382, 417, 16}, true);
    btAction = new QPushButton(this);
    btAction->setGeometry(22, 413, 203, 32);
    btClose = new QPushButton(u"閉じる"_s, this);
    btClose->setGeometry(280, 413, 115, 32);
    for (QPushButton* b : {bbRadar, bbCity, btAction, btClose})
        b->setAutoDefault(false);
    Timer1 = new QTimer(this);
    Timer1->setInterval(500);

    connect(btClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(btAction, &QPushButton::clicked, this, &TFormCity::btActionClick);
    connect(bbCity, &QPushButton::clicked, this, &TFormCity::bbCityClick);
    connect(bbRadar, &QPushButton::clicked, this, &TFormCity::bbRadarClick);
    connect(Timer1, &QTimer::timeout, this, &TFormCity::Timer1Timer);

    const QString titleHint = u"ここをクリックすると，現在の旅行地の説明を表示/非表示します。　【ｷｰﾎﾞｰﾄﾞ】<F6>"_s;
    lbCityTitle->setStatusTip(titleHint);
    lbCountryTitle->setStatusTip(titleHint);
    imCityOmote->setStatusTip(u"現在表示されている旅行地のイメージ画像です。"_s);
    lbRadar->setStatusTip(u"「ぐるり★みつけ隊」のときは，現在持っているレーダーの個数を表示します。"_s);
    bbRadar->setStatusTip(
        u"「ぐるり★みつけ隊」のときは，拡張レーダー測定ができる回数を表示します。　【ｷｰﾎﾞｰﾄﾞ】<Alt>"_s);
    memoCity->setStatusTip(
        u"現在の旅行地の説明です。 「ぐるり★みつけ隊」のときは，\"<http://…>\" の部分をダブルクリックすると，"_s
        u"そのサイトを開きます。【ｷｰﾎﾞｰﾄﾞ】\"<http://…>\" にキャレットがある状態で<Enter>"_s);
    bbCity->setStatusTip(u"「ぐるり★みつけ隊」のときは，この旅行地にいるプレイヤーを表示します。　【ｷｰﾎﾞｰﾄﾞ】<F5>"_s);
    btAction->setStatusTip(
        u"「ぐるり★みつけ隊」のときは，次の旅行地に行ったり，宝物を発掘したりします。　【ｷｰﾎﾞｰﾄﾞ】<Ctrl>"_s);
    btClose->setStatusTip(u"このフォームを閉じます。　【ｷｰﾎﾞｰﾄﾞ】<Esc>"_s);
}

TFormCity::~TFormCity() = default;

// The pictures are drawn at the first use, not while the program starts.
void TFormCity::ensurePictures()
{
    if (!imlAnime.isEmpty())
        return;
    imlFruit = {fruit(), fruit()};
    for (int i = 0; i < 6; ++i)
        imlGuest << guest(i);
    for (int i = 0; i < 12; ++i)
        imlAnime << walker(i / 2, i % 2);
}

void TFormCity::DrawPointsBar()
{
    ensurePictures();
    QImage bar = blank(imCityPoint->width(), imCityPoint->height());
    QPainter p(&bar);
    p.setFont(font());
    p.setPen(PointsColour);
    const QString text = u"休み時間ポイント 000,000 pt"_s;
    const QFontMetrics fm(font());
    const int x = (bar.width() - fm.horizontalAdvance(text)) / 2;
    p.drawText(x + 20, 5 + fm.ascent(), text);
    p.drawImage(x - 20, 1, imlFruit.value(0));
    p.end();
    imCityPoint->setPixmap(QPixmap::fromImage(bar));
}

int TFormCity::ShowModal()
{
    FormShow();
    return Prompter::backend().execModal(*this);
}

void TFormCity::FormShow()
{
    WindowPlacement::centre(*this, WindowPlacement::openerOf(*this, parentWidget()));
    ensurePictures();
    // The two bitmaps of this showing; a replay draws on them again.
    GuestPicture = blank(70, 70);
    StagePicture = QImage(StageSize, QImage::Format_ARGB32_Premultiplied);
    start();
}

void TFormCity::start()
{
    FrameCounter = 0;
    Timer1->stop();
    Timer1->setInterval(500);
    GuestIndex = int(QRandomGenerator::global()->bounded(qint64(imlGuest.size())));
    GuestPicture.fill(Qt::transparent);
    {
        QPainter g(&GuestPicture);
        g.drawImage(0, 0, imlGuest.value(GuestIndex));
    }
    {
        QPainter p(&StagePicture);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.fillRect(StagePicture.rect(), Qt::white);
        p.drawImage(StagePicture.rect(), imCityHaikei);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        p.drawImage(10, 120, GuestPicture);
    }
    imCityOmote->update();
    Timer1->start();
    memoCity->setSelStart(0);
    memoCity->hide();
    btAction->setText(u"宝を発掘する"_s);
    btAction->setEnabled(false);
}

void TFormCity::drawWalkers(QPainter& painter, int x, int y, int phase)
{
    for (int f = 0; f < 3; ++f)
        painter.drawImage(x + 70 * f, y + 70, imlAnime.value(2 * f + phase));
    for (int f = 3; f < 6; ++f)
        painter.drawImage(x + 70 * f - 200, y, imlAnime.value(2 * f + phase));
}

void TFormCity::drawBalloon(QPainter& painter, const QString& text, int x, int y, bool centred)
{
    const QFontMetrics fm(painter.font());
    if (centred)
        x += (StageSize.width() - x - fm.horizontalAdvance(text)) / 2;
    const QRect box(x, y, fm.horizontalAdvance(text), fm.height());
    painter.fillRect(box, QColor(255, 255, 0));
    painter.setPen(QColor(0, 0, 255));
    painter.drawText(x, y + fm.ascent(), text);
}

void TFormCity::ComposeFrame(int n)
{
    const CityFrame frame = CityFrame::at(n);
    QPainter p(&StagePicture);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(StagePicture.rect(), Qt::white);
    p.drawImage(StagePicture.rect(), imCityHaikei);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    QFont f(font().family());
    f.setPointSize(16);
    p.setFont(f);
    const QString balloons[] = {QString(), SpeechText1, SpeechText2, u" こんにちはー。"_s, u" こんにちは♪"_s};
    if (n <= 16) {
        drawWalkers(p, frame.walkX, frame.walkY, frame.phase);
        p.drawImage(10, 120, GuestPicture);
        if (frame.balloon)
            drawBalloon(p, balloons[frame.balloon], frame.balloonX, frame.balloonY, frame.centred);
    } else {
        if (frame.balloon)
            drawBalloon(p, balloons[frame.balloon], frame.balloonX, frame.balloonY, frame.centred);
        drawWalkers(p, frame.walkX, frame.walkY, 0);
        p.drawImage(10, 120, GuestPicture);
    }
}

void TFormCity::Timer1Timer()
{
    if (StagePicture.isNull())
        return;
    const int n = FrameCounter;
    const CityFrame frame = CityFrame::at(n);
    ComposeFrame(n);
    if (frame.last) {
        btAction->setText(u"もう一回確認する"_s);
        btAction->setEnabled(true);
        btAction->setFocus();
        Timer1->setInterval(500);
        Timer1->stop();
    } else {
        Timer1->setInterval(frame.nextInterval);
    }
    imCityOmote->update();
    ++FrameCounter;
}

void TFormCity::btActionClick()
{
    start();
}

void TFormCity::bbCityClick()
{
    Prompter::inform(this, u"「ぐるり★みつけ隊」のときは，この旅行地にいるプレイヤーを表示します。"_s);
}

void TFormCity::bbRadarClick()
{
    Prompter::inform(this, u"「ぐるり★みつけ隊」のときは，拡張レーダー測定ができる回数を表示します。"_s);
}

void TFormCity::lbCityTitleClick()
{
    memoCity->setVisible(!memoCity->isVisible());
}

void TFormCity::FormClick()
{
    memoCity->hide();
}

BracketedSpan TFormCity::FindBracketedSpan(const QByteArray& open, const QByteArray& close) const
{
    return ::FindBracketedSpan(Cp932::encode(memoCity->Text()), memoCity->LineStartOfCaret(false),
                               memoCity->LineEndOfCaret(true), memoCity->SelStart(), open, close);
}

void TFormCity::memoCityDblClick(bool realClick)
{
    const int caret = realClick ? LastClickPos : memoCity->SelStart();
    memoCity->setSelStart(caret);
    const BracketedSpan span = FindBracketedSpan("<http", ">");
    if (span.length < 2)
        return;
    const QByteArray link = span.text.mid(1, span.length - 2);
    if (link.left(4).toLower() == "http")
        Prompter::inform(this,
                         u"「ぐるり★みつけ隊」のときは，次のウェブサイトを開きます。\r\n\r\n"_s + Cp932::decode(link));
}

bool TFormCity::FormKeyDown(int key, Qt::KeyboardModifiers)
{
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (memoCity->isVisible())
            memoCityDblClick(false);
        return true;
    case Qt::Key_Control:
        if (btAction->isEnabled())
            btActionClick();
        return true;
    case Qt::Key_Alt:
        bbRadarClick();
        return true;
    case Qt::Key_Escape:
        reject();
        return true;
    case Qt::Key_F5:
        bbCityClick();
        return true;
    case Qt::Key_F6:
        lbCityTitleClick();
        return true;
    default:
        return false;
    }
}

bool TFormCity::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress: {
        auto* w = qobject_cast<QWidget*>(watched);
        QWidget* focus = QApplication::focusWidget();
        if (w && w->window() == this && (w == focus || w == this) && !PopupKeys::forPopup(w)) {
            auto* key = static_cast<QKeyEvent*>(event);
            return FormKeyDown(key->key(), key->modifiers());
        }
        break;
    }
    case QEvent::Wheel: {
        auto* w = qobject_cast<QWidget*>(watched);
        if (!w || w->window() != this)
            break;
        // One line a message while the cursor is over the description, wherever the wheel went.
        if (memoCity->geometry().contains(mapFromGlobal(QCursor::pos()))) {
            const int delta = static_cast<QWheelEvent*>(event)->angleDelta().y();
            QScrollBar* bar = memoCity->verticalScrollBar();
            bar->setValue(bar->value() + (delta <= 0 ? 1 : -1));
            return true;
        }
        break;
    }
    case QEvent::MouseButtonRelease:
        if (watched == memoCity->viewport()) {
            QMetaObject::invokeMethod(
                this, [this] { LastClickPos = memoCity->SelStart(); }, Qt::QueuedConnection);
        } else if (watched == lbCityTitle || watched == lbCountryTitle || watched == imCityOmote) {
            lbCityTitleClick();
            return true; // not passed on to the form, which would hide it again
        } else if (watched == this || watched == lbCityMes1 || watched == lbCityMes2 || watched == lbTre
                   || watched == lbRadar || watched == imCityPoint) {
            FormClick();
            return true;
        }
        break;
    case QEvent::MouseButtonDblClick:
        if (watched == memoCity->viewport())
            QMetaObject::invokeMethod(
                this, [this] { memoCityDblClick(true); }, Qt::QueuedConnection);
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

void TFormCity::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // The form sees keys, clicks and the wheel before its controls.
    qApp->installEventFilter(this);
}

void TFormCity::hideEvent(QHideEvent* event)
{
    qApp->removeEventFilter(this);
    QDialog::hideEvent(event);
}

void TFormCity::done(int result)
{
    FormClose();
    QDialog::done(result);
}

void TFormCity::FormClose()
{
    Timer1->stop();
    GuestPicture = QImage();
    StagePicture = QImage();
}
