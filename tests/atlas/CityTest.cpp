#include "UnitCity.h"

#include "Cp932.h"
#include "MyRichEdit.h"
#include "ScriptedPrompter.h"

#include <QApplication>
#include <QCursor>
#include <QWheelEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TEST(CityFrames, WalkersAndBalloonsFollowTheTable)
{
    for (int n = 0; n <= 20; ++n) {
        SCOPED_TRACE(n);
        const CityFrame f = CityFrame::at(n);
        EXPECT_EQ(f.walkX, n <= 16 ? 410 - 15 * n : 170);
        EXPECT_EQ(f.walkY, 80);
        EXPECT_EQ(f.phase, n <= 16 ? n % 2 : 0);
        EXPECT_EQ(f.last, n == 20);
        EXPECT_EQ(f.nextInterval, n == 17 ? 1500 : n == 18 ? 1000 : n == 19 ? 2000 : 500);
        if ((n >= 3 && n <= 5) || (n >= 9 && n <= 11)) {
            EXPECT_EQ(f.balloon, 1);
            EXPECT_EQ(f.balloonX, 520 - 30 * n);
            EXPECT_EQ(f.balloonY, 10);
        } else if ((n >= 6 && n <= 8) || (n >= 12 && n <= 14)) {
            EXPECT_EQ(f.balloon, 2);
            EXPECT_EQ(f.balloonX, 540 - 30 * n);
            EXPECT_EQ(f.balloonY, 40);
        } else if (n == 17) {
            EXPECT_EQ(f.balloon, 3);
            EXPECT_EQ(f.balloonX, 170);
            EXPECT_TRUE(f.centred);
        } else if (n == 19) {
            EXPECT_EQ(f.balloon, 4);
            EXPECT_EQ(QPoint(f.balloonX, f.balloonY), QPoint(10, 55));
            EXPECT_FALSE(f.centred);
        } else {
            EXPECT_EQ(f.balloon, 0);
        }
    }
}

struct SpanCase {
    const char16_t* line;
    int caretAfter;           // characters before the caret
    const char16_t* expected; // empty: no span
};

class BracketedSpans : public ::testing::TestWithParam<SpanCase> {};

TEST_P(BracketedSpans, FindTheSpanAroundTheCaret)
{
    const SpanCase& c = GetParam();
    const QString line = QString::fromUtf16(c.line);
    const QByteArray bytes = Cp932::encode(u"前の行\r\n"_s + line + u"\r\n次"_s);
    const int lineStart = int(Cp932::encode(u"前の行\r"_s).size()); // the LF before the line
    const int lineEnd = lineStart + 1 + int(Cp932::encode(line).size());
    const int caret = lineStart + 1 + int(Cp932::encode(line.left(c.caretAfter)).size());
    const BracketedSpan span = FindBracketedSpan(bytes, lineStart, lineEnd, caret, "<http", ">");
    const QString expected = QString::fromUtf16(c.expected);
    EXPECT_EQ(Cp932::decode(span.text), expected);
    EXPECT_EQ(span.length, Cp932::encode(expected).size());
    if (!expected.isEmpty()) {
        EXPECT_EQ(span.position, bytes.indexOf(Cp932::encode(expected)));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BracketedSpans,
    ::testing::Values(SpanCase{u"見て<http://a.jp>です", 6, u"<http://a.jp>"},
                      SpanCase{u"見て<http://a.jp>です", 1, u""},                           // before the link
                      SpanCase{u"見て<http://a.jp>です", 15, u""},                          // after it
                      SpanCase{u"<http://a <http://b> c>", 21, u"<http://a <http://b> c>"}, // nested
                      SpanCase{u"<http://a <http://b> c>", 14, u"<http://b>"},
                      SpanCase{u"<http://x 表示 > です>", 8, u"<http://x 表示 >"}, // any ">" closes
                      SpanCase{u"a > b <http://表>", 14, u"<http://表>"}, SpanCase{u"<http://未完", 5, u""}));

class City : public ::testing::Test {
protected:
    void SetUp() override
    {
        city.imCityHaikei = QImage(400, 225, QImage::Format_RGB32);
        city.imCityHaikei.fill(QColor(0, 128, 0));
        city.SpeechText1 = u"♪あ♪"_s;
        city.SpeechText2 = u"♪い♪"_s;
        city.show();
        city.FormShow();
    }
    void runToEnd()
    {
        while (city.Timer1->isActive())
            city.Timer1Timer();
    }

    ScriptedPrompter prompter;
    TFormCity city;
};

TEST_F(City, TheSceneRunsTwentyOneTicksAndReplaysOnTheSameBitmaps)
{
    EXPECT_FALSE(city.btAction->isEnabled());
    EXPECT_EQ(city.btAction->text(), u"宝を発掘する"_s);
    const uchar* stage = city.StagePicture.constBits();
    const uchar* guest = city.GuestPicture.constBits();
    QTest::keyClick(&city, Qt::Key_Control); // nothing before the end
    EXPECT_EQ(city.FrameCounter, 0);

    city.Timer1Timer();
    // Frame 0: walkers enter at the right, the guest stands at (10, 120), the picture elsewhere.
    EXPECT_EQ(city.StagePicture.pixelColor(5, 5), QColor(0, 128, 0));
    runToEnd();
    EXPECT_EQ(city.FrameCounter, 21);
    EXPECT_TRUE(city.btAction->isEnabled());
    EXPECT_EQ(city.btAction->text(), u"もう一回確認する"_s);

    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(&city, Qt::Key_Control);
        EXPECT_EQ(city.FrameCounter, 0);
        EXPECT_TRUE(city.Timer1->isActive());
        runToEnd();
    }
    EXPECT_EQ(city.StagePicture.constBits(), stage);
    EXPECT_EQ(city.GuestPicture.constBits(), guest);

    // Return is the form's link key and never presses the focused button: neither the replay
    // offered at the end nor 閉じる after Tab.
    QApplication::setActiveWindow(&city);
    city.btAction->setEnabled(false);
    city.Timer1->start();
    runToEnd();
    ASSERT_EQ(QApplication::focusWidget(), city.btAction);
    const int ended = city.FrameCounter;
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(city.FrameCounter, ended);
    EXPECT_FALSE(city.Timer1->isActive());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), city.btClose);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
    EXPECT_TRUE(city.isVisible());
    city.reject();
    EXPECT_TRUE(city.StagePicture.isNull());
    EXPECT_FALSE(city.Timer1->isActive());
}

TEST_F(City, BalloonsAreYellowAndCentredBetweenTheirStartAndTheRightEdge)
{
    for (int n = 0; n <= 9; ++n)
        city.Timer1Timer();
    // Frame 9: the first speech text centred between x = 250 and the right edge, at y = 10.
    const QImage frame = city.StagePicture;
    int first = -1, last = -1;
    for (int x = 0; x < 400; ++x)
        if (frame.pixelColor(x, 12) == QColor(255, 255, 0)) {
            if (first < 0)
                first = x;
            last = x;
        }
    ASSERT_GE(first, 250);
    EXPECT_NEAR((first + last) / 2.0, 325, 2);
}

TEST_F(City, KeysAndClicksToggleTheDescriptionAndExplainLinks)
{
    city.memoCity->SetText(u"前文\r\n見て<http://例.jp>です"_s);
    QTest::keyClick(&city, Qt::Key_Return); // hidden: nothing
    EXPECT_TRUE(prompter.asked.empty());
    QTest::keyClick(&city, Qt::Key_F6);
    EXPECT_TRUE(city.memoCity->isVisible());
    city.memoCity->setSelStart(city.memoCity->LineIndex(1) + 8);
    QTest::keyClick(&city, Qt::Key_Return);
    ASSERT_EQ(prompter.asked.size(), 1u);
    EXPECT_EQ(prompter.lastText(), u"「ぐるり★みつけ隊」のときは，次のウェブサイトを開きます。\r\n\r\nhttp://例.jp"_s);

    city.LastClickPos = 1; // in the first line: no link
    city.memoCityDblClick(true);
    EXPECT_EQ(prompter.asked.size(), 1u);

    QTest::mouseClick(city.lbCityMes1, Qt::LeftButton);
    EXPECT_FALSE(city.memoCity->isVisible());
    QTest::mouseClick(city.lbCityTitle, Qt::LeftButton);
    EXPECT_TRUE(city.memoCity->isVisible());
    // The wheel over the description scrolls it a line a message, wherever the wheel event went.
    city.memoCity->SetText(u"行\r\n"_s.repeated(60));
    QApplication::processEvents();
    QCursor::setPos(city.memoCity->mapToGlobal(city.memoCity->rect().center()));
    const auto wheel = [&](int delta) {
        QWheelEvent event(QPointF(5, 5), city.mapToGlobal(QPointF(5, 5)), {}, QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(city.lbCityMes2, &event);
    };
    wheel(-120);
    wheel(-120);
    EXPECT_EQ(city.memoCity->FirstVisibleLine(), 2);
    wheel(120);
    EXPECT_EQ(city.memoCity->FirstVisibleLine(), 1);
    QTest::keyClick(&city, Qt::Key_F5);
    EXPECT_EQ(prompter.lastText(), u"「ぐるり★みつけ隊」のときは，この旅行地にいるプレイヤーを表示します。"_s);
    QTest::keyClick(&city, Qt::Key_Escape);
    EXPECT_FALSE(city.isVisible());
}

} // namespace
