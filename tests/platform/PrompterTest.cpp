#include "Prompter.h"
#include "ScriptedPrompter.h"

#include <QDialog>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace Prompter;

TEST(Prompter, EachKindOfBoxComesWithItsSound)
{
    ScriptedPrompter s;
    s.answers = {Answer::Yes};
    warn(nullptr, u"w"_s);
    inform(nullptr, u"i"_s);
    error(nullptr, u"e"_s);
    EXPECT_EQ(ask(nullptr, u"q"_s, Buttons::YesNoCancel), Answer::Yes);
    EXPECT_EQ(s.sounds, (std::vector<Sound>{Sound::Asterisk, Sound::Asterisk, Sound::Asterisk, Sound::Exclamation}));
    ASSERT_EQ(s.asked.size(), 4u);
    EXPECT_EQ(s.asked[0].kind, Kind::Warning);
    EXPECT_EQ(s.asked[0].buttons, Buttons::Ok);
    EXPECT_EQ(s.asked[3].kind, Kind::Question);
    EXPECT_EQ(s.unscripted, 0) << "OK boxes need no script";
}

TEST(Prompter, UnscriptedQuestionsTakeTheSafeAnswer)
{
    ScriptedPrompter s;
    EXPECT_EQ(ask(nullptr, u"q"_s, Buttons::YesNo), Answer::No);
    EXPECT_EQ(ask(nullptr, u"q"_s, Buttons::YesNoCancel), Answer::Cancel);
    FileRequest r;
    EXPECT_FALSE(backend().fileDialog(nullptr, r).accepted);
    QDialog d;
    EXPECT_EQ(backend().execModal(d), int(QDialog::Rejected));
    EXPECT_EQ(s.unscripted, 4);
}

TEST(Prompter, RefusedFileNamesKeepTheDialogOpen)
{
    ScriptedPrompter s;
    s.files = {u"/a/taken.map"_s, u"/a/free"_s};
    FileRequest r;
    r.defaultExt = u"map"_s;
    QStringList seen;
    r.canClose = [&](const QString& p) {
        seen << p;
        return !p.contains(u"taken"_s);
    };
    const FileResult res = backend().fileDialog(nullptr, r);
    EXPECT_TRUE(res.accepted);
    EXPECT_EQ(res.path, u"/a/free.map"_s);
    EXPECT_EQ(seen, (QStringList{u"/a/taken.map"_s, u"/a/free.map"_s}));
}

TEST(Prompter, InstallingAndRemovingTheScriptRestoresTheRealBackend)
{
    Backend* real = &backend();
    {
        ScriptedPrompter s;
        EXPECT_EQ(&backend(), &s);
    }
    EXPECT_EQ(&backend(), real);
}
