// Dialog units to pixels, the fonts the templates name, and where the form's
// controls end up in either language.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFontDatabase>
#include <QFontInfo>

#include "DesktopSupport.h"
#include "form/Tirvel2View.h"
#include "framework/qt/QtFormView.h"
#include "framework/qt/QtWindowSite.h"
#include "res/Dialogs.h"
#include "res/ResourceIds.h"

namespace {

using fw::DialogRect;
using fw::qt::DialogBaseUnits;
using fw::qt::DialogUnitsToPixels;

TEST(DialogUnits, FourHorizontalAndEightVerticalUnitsMakeOneBaseUnitRounded) {
    // 6 x 13: a 4 x 8 unit box is exactly one base unit.
    EXPECT_EQ(DialogUnitsToPixels(DialogRect{4, 8, 40, 16}, DialogBaseUnits{6, 13}),
              QRect(6, 13, 60, 26));
    // 20 * 13 / 8 = 32.5 and 14 * 13 / 8 = 22.75: halves round up, the rest to nearest.
    EXPECT_EQ(DialogUnitsToPixels(DialogRect{10, 20, 50, 14}, DialogBaseUnits{6, 13}),
              QRect(15, 33, 75, 23));
    // 1 * 7 / 4 = 1.75 and 1 * 14 / 8 = 1.75; 2 * 5 / 4 = 2.5.
    EXPECT_EQ(DialogUnitsToPixels(DialogRect{1, 1, 2, 1}, DialogBaseUnits{7, 14}),
              QRect(2, 2, 4, 2));
    EXPECT_EQ(DialogUnitsToPixels(DialogRect{2, 0, 0, 0}, DialogBaseUnits{5, 10}).x(), 3);
}

TEST(DialogUnits, BaseUnitsScaleWithTheFont) {
    const QString family = fw::qt::ResolveFontFamily("DejaVu Sans");
    QFont small(family);
    small.setPointSize(9);
    QFont large(family);
    large.setPointSize(18);
    const DialogBaseUnits s = fw::qt::BaseUnitsOf(small);
    const DialogBaseUnits l = fw::qt::BaseUnitsOf(large);
    ASSERT_GT(s.x, 0);
    ASSERT_GT(s.y, s.x);  // characters are taller than they are wide
    EXPECT_NEAR(l.x, 2 * s.x, 2);
    EXPECT_NEAR(l.y, 2 * s.y, 2);
    // The average of the 52 letters, not the width of one of them.
    const QFontMetrics metrics(small);
    EXPECT_LT(s.x, metrics.horizontalAdvance(QLatin1Char('W')));
    EXPECT_GT(s.x, metrics.horizontalAdvance(QLatin1Char('i')));
}

TEST(DialogFonts, MissingFacesFallBackToFontsTheSystemHas) {
    const QString western = fw::qt::ResolveFontFamily("MS Sans Serif");
    EXPECT_NE(western, QStringLiteral("MS Sans Serif"));
    EXPECT_TRUE(QFontDatabase::hasFamily(western)) << western.toStdString();

    const QString present = QFontInfo(QFont(QStringLiteral("DejaVu Sans"))).family();
    EXPECT_EQ(fw::qt::ResolveFontFamily(present.toStdString()), present);

    if (QFontDatabase::families(QFontDatabase::SimplifiedChinese).isEmpty()) {
        GTEST_SKIP() << "no font for Chinese on this system";
    }
    for (const char* face : {"宋体", "SimSun"}) {
        const QString chinese = fw::qt::ResolveFontFamily(face);
        EXPECT_TRUE(
            QFontDatabase::writingSystems(chinese).contains(QFontDatabase::SimplifiedChinese))
            << face << " -> " << chinese.toStdString();
    }
    const QFont templateFont = fw::qt::TemplateFont("宋体", 9);
    EXPECT_EQ(templateFont.pointSizeF(), 9.0);
    EXPECT_TRUE(QFontDatabase::writingSystems(QFontInfo(templateFont).family())
                    .contains(QFontDatabase::SimplifiedChinese));
}

class FormGeometry : public ::testing::TestWithParam<fw::Language> {};

TEST_P(FormGeometry, EveryControlSitsAtItsTemplateRectangleInTheTemplatesFont) {
    desktoptest::LanguageScope language(GetParam());
    CTirvel2View view;
    fw::qt::CQtFormView form(view, GetParam());
    const fw::DialogTemplate* t = res::FindDialogTemplate(res::IDD_TIRVEL2_FORM, GetParam());
    ASSERT_NE(t, nullptr);
    const DialogBaseUnits units = fw::qt::BaseUnitsOf(fw::qt::TemplateFont(t->fontFace, 9));
    EXPECT_EQ(form.FormSizePixels(),
              DialogUnitsToPixels(DialogRect{0, 0, t->width, t->height}, units).size());
    EXPECT_EQ(form.widget()->size(), form.FormSizePixels());
    for (const auto& c : t->controls) {
        QWidget* widget = form.Control(c.id);
        ASSERT_NE(widget, nullptr) << c.id;
        EXPECT_EQ(widget->geometry(), DialogUnitsToPixels(c.rect, units)) << c.id;
    }
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, FormGeometry,
                         ::testing::Values(fw::Language::English, fw::Language::Chinese),
                         [](const ::testing::TestParamInfo<fw::Language>& info) {
                             return info.param == fw::Language::Chinese ? "Chinese" : "English";
                         });

TEST(FormGeometry, TheChineseFormDiffersWhereItsTemplateDoes) {
    desktoptest::LanguageScope language(fw::Language::English);
    CTirvel2View englishView;
    CTirvel2View chineseView;
    fw::qt::CQtFormView english(englishView, fw::Language::English);
    fw::qt::CQtFormView chinese(chineseView, fw::Language::Chinese);
    // The Chinese form is 20 units shorter, its identity captions start further left
    // and its first row sits higher.
    EXPECT_LT(chinese.FormSizePixels().height(), english.FormSizePixels().height());
    EXPECT_LT(chinese.Control(res::IDC_IMEI_CAPTION)->x(),
              english.Control(res::IDC_IMEI_CAPTION)->x());
    EXPECT_LT(chinese.Control(res::IDC_ITEM_NEW_BASE + 1)->y(),
              english.Control(res::IDC_ITEM_NEW_BASE + 1)->y());
    auto* check = qobject_cast<QCheckBox*>(chinese.Control(res::IDC_ITEM_MODIFY_BASE + 1));
    ASSERT_NE(check, nullptr);
    EXPECT_EQ(check->text(), QStringLiteral("修改"));
}

}  // namespace
