#include "AtlasForms.h"
#include "EaselForms.h"
#include "MapGridModel.h"
#include "MyRichEdit.h"
#include "ProgramFolder.h"
#include "RichEditMargin.h"
#include "ScriptedPrompter.h"
#include "TempFolder.h"
#include "Unit1.h"
#include "Unit2.h"
#include "Unit3.h"
#include "UnitCity.h"
#include "UnitEditText.h"
#include "UnitPictureEditor.h"
#include "UnitRefPage.h"

#include <QApplication>
#include <QFile>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// A dark desktop palette as qt6ct's or GTK's Adwaita:dark gives it: light text on dark grounds.
QPalette darkPalette()
{
    QPalette p;
    const QColor window(0x35, 0x35, 0x35), base(0x2A, 0x2A, 0x2A), text(0xEE, 0xEE, 0xEE);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::PlaceholderText, QColor(0x90, 0x90, 0x90));
    p.setColor(QPalette::Button, window);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, Qt::red);
    p.setColor(QPalette::Light, QColor(0x50, 0x50, 0x50));
    p.setColor(QPalette::Midlight, QColor(0x45, 0x45, 0x45));
    p.setColor(QPalette::Mid, QColor(0x28, 0x28, 0x28));
    p.setColor(QPalette::Dark, QColor(0x20, 0x20, 0x20));
    p.setColor(QPalette::Shadow, Qt::black);
    p.setColor(QPalette::Highlight, QColor(0x2A, 0x82, 0xDA));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::ToolTipBase, window);
    p.setColor(QPalette::ToolTipText, text);
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, QColor(0x7F, 0x7F, 0x7F));
    return p;
}

double luminance(QRgb c)
{
    const auto channel = [](int v) {
        const double s = v / 255.0;
        return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) + 0.0722 * channel(qBlue(c));
}

// Of the pixels that differ from the ground (the region's most common colour), how many stand out
// from it: a luminance contrast of 3 to 1 or more, as large text needs. Light text measures 367 of
// 730 in the light theme; the same text in a dark theme's white on a pale box, none.
struct Contrast {
    int text = 0, standingOut = 0;
};

Contrast contrastOf(const QImage& picture, QRect region = QRect())
{
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    if (region.isNull())
        region = image.rect();
    region &= image.rect();
    QHash<QRgb, int> counts;
    for (int y = region.top(); y <= region.bottom(); ++y)
        for (int x = region.left(); x <= region.right(); ++x)
            ++counts[image.pixel(x, y)];
    QRgb ground = 0;
    int most = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > most)
            most = it.value(), ground = it.key();
    const double g = luminance(ground);
    Contrast c;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.key() == ground)
            continue;
        c.text += it.value();
        const double l = luminance(it.key());
        if ((std::max(l, g) + 0.05) / (std::min(l, g) + 0.05) >= 3.0)
            c.standingOut += it.value();
    }
    return c;
}

// Both programs' forms in a throw-away program folder and runtime folder, every question answered
// from a script; each program is started at its first use, under the palette in force then.
class Programs {
public:
    Programs()
    {
        ProgramFolder::setOverride(program.path());
        if (qEnvironmentVariableIsSet("XDG_RUNTIME_DIR"))
            oldRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path().chopped(1)));
    }
    ~Programs()
    {
        easelForms.reset();
        atlasForms.reset();
        ProgramFolder::setOverride(QString());
        if (oldRuntime.isEmpty())
            qunsetenv("XDG_RUNTIME_DIR");
        else
            qputenv("XDG_RUNTIME_DIR", oldRuntime);
    }

    AtlasForms& atlas()
    {
        if (!atlasForms) {
            atlasForms = std::make_unique<AtlasForms>();
            atlasForms->create({});
        }
        return *atlasForms;
    }
    EaselForms& easel()
    {
        if (!easelForms) {
            easelForms = std::make_unique<EaselForms>();
            easelForms->create({});
        }
        return *easelForms;
    }

private:
    TempFolder program, runtime;
    QByteArray oldRuntime;
    ScriptedPrompter prompter;
    std::unique_ptr<AtlasForms> atlasForms;
    std::unique_ptr<EaselForms> easelForms;
};

// What the window shows of a widget (inside its frame): the grounds behind it included.
QImage shown(QWidget* widget)
{
    QWidget* window = widget->window();
    window->show();
    widget->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
    QApplication::processEvents();
    const QRect inside = widget->contentsRect();
    return window->grab(QRect(widget->mapTo(window, inside.topLeft()), inside.size())).toImage();
}

struct Region {
    QImage image;
    QRect within; // null: the whole image
};

struct FixedColourCase {
    const char* name;
    std::function<Region(Programs&)> render;
};

TFormCity& storyPreview(Programs& programs)
{
    AtlasForms& forms = programs.atlas();
    TFormCity& city = *forms.formCity;
    city.FormShow();
    city.Timer1->stop();
    return city;
}

const FixedColourCase FixedColourCases[] = {
    // The description on its fixed pale green, in the text colour that comes with it.
    {"StoryPreviewDescription",
     [](Programs& programs) {
         TFormCity& city = storyPreview(programs);
         programs.atlas().form2->RenderDescriptionMarkup(
             u"旅行地の説明文です。\n<w>太字の行</w>と<u>下線</u>\n三行目"_s);
         city.memoCity->show();
         return Region{shown(city.memoCity->viewport()), {}};
     }},
    // A background chosen by the tag keeps the text colour too.
    {"StoryPreviewDescriptionOnItsOwnBackground",
     [](Programs& programs) {
         TFormCity& city = storyPreview(programs);
         programs.atlas().form2->RenderDescriptionMarkup(u"<bg=C0FFFF>背景色を選んだ説明文です。\n二行目"_s);
         city.memoCity->show();
         return Region{shown(city.memoCity->viewport()), {}};
     }},
    // The points in fixed blue, on the ground that comes with it; the right half holds only text.
    {"StoryPreviewPointsBar",
     [](Programs& programs) {
         TFormCity& city = storyPreview(programs);
         city.DrawPointsBar();
         const QImage bar = shown(city.imCityPoint);
         return Region{bar, QRect(bar.width() / 2, 0, bar.width() / 2, bar.height())};
     }},
    {"TreasureHelpOnYellow",
     [](Programs& programs) {
         TForm3& f3 = *programs.atlas().form3;
         return Region{shown(f3.RichEditMargin1->viewport()), {}};
     }},
    {"DestinationGrid",
     [](Programs& programs) {
         TForm1& f1 = *programs.atlas().form1;
         for (int row = 0; row < 8; ++row)
             f1.Doc.rows[size_t(row)][MapDocument::Title1] = u"タイトル%1"_s.arg(row);
         f1.sg1Model->refresh();
         return Region{shown(f1.sg1->viewport()), {}};
     }},
    {"ColourSwatch",
     [](Programs& programs) {
         TForm1& f1 = *programs.atlas().form1;
         f1.UpdateColorSwatch(1);
         return Region{f1.bbColor1->icon().pixmap(f1.bbColor1->iconSize()).toImage(), {}};
     }},
    // The mark-up's fixed black brackets and keywords, on the page's ground.
    {"ScratchPageMarkup",
     [](Programs& programs) {
         TFormEditText& editor = *programs.atlas().formEditText;
         editor.show();
         editor.Blank1Click();
         TMyRichEdit* page = editor.CurrentPage->MyRichEdit1;
         page->SetText(u"{必答}[答え]{foo,1,2}\r\n[もう一つ]{必答}"_s);
         page->RecolourAll();
         return Region{shown(page->viewport()), {}};
     }},
    {"PaletteCaption",
     [](Programs& programs) {
         TFormPictureEditor& ed = *programs.easel().formPictureEditor;
         return Region{shown(ed.pnC[2]), {}};
     }},
    {"DeformPanel",
     [](Programs& programs) {
         TFormPictureEditor& ed = *programs.easel().formPictureEditor;
         ed.SetDeformState(true, true);
         return Region{shown(ed.pnLastReform), {}};
     }},
    {"DeformWidthBox",
     [](Programs& programs) {
         TFormPictureEditor& ed = *programs.easel().formPictureEditor;
         ed.udPen->setValue(48);
         ed.SetDeformState(true, false);
         return Region{shown(ed.edPen), {}};
     }},
    {"ModeLabelLit",
     [](Programs& programs) {
         TFormPictureEditor& ed = *programs.easel().formPictureEditor;
         ed.UpdateModeIndicator();
         QLabel* lit = ed.lbByouga->styleSheet().contains(u"#0000ff"_s) ? ed.lbByouga : ed.lbRange;
         return Region{shown(lit), {}};
     }},
    {"ModeLabelDim",
     [](Programs& programs) {
         TFormPictureEditor& ed = *programs.easel().formPictureEditor;
         ed.UpdateModeIndicator();
         QLabel* dim = ed.lbByouga->styleSheet().contains(u"#0000ff"_s) ? ed.lbRange : ed.lbByouga;
         return Region{shown(dim), {}};
     }},
};

struct Look {
    const char* name;
    bool dark;
};

class FixedColourPairs : public ::testing::TestWithParam<std::tuple<FixedColourCase, Look>> {
protected:
    void SetUp() override
    {
        light = QApplication::palette();
        if (std::get<1>(GetParam()).dark)
            QApplication::setPalette(darkPalette());
    }
    void TearDown() override { QApplication::setPalette(light); }
    QPalette light;
};

// Wherever a form fixes a colour, the text on it reads in the light look and under a dark desktop
// palette alike: the text pixels stand out from their ground.
TEST_P(FixedColourPairs, TextStandsOutFromItsGround)
{
    const auto& [c, look] = GetParam();
    Contrast contrast;
    {
        Programs programs;
        const Region region = c.render(programs);
        ASSERT_FALSE(region.image.isNull());
        contrast = contrastOf(region.image, region.within);
    }
    EXPECT_GE(contrast.text, 15) << "nothing drawn";
    EXPECT_GE(contrast.standingOut * 5, contrast.text)
        << contrast.standingOut << " of " << contrast.text << " text pixels stand out";
}

INSTANTIATE_TEST_SUITE_P(EveryForm, FixedColourPairs,
                         ::testing::Combine(::testing::ValuesIn(FixedColourCases),
                                            ::testing::Values(Look{"Light", false}, Look{"Dark", true})),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) + std::get<1>(info.param).name;
                         });

} // namespace
