#include "EaselForms.h"

#include "UnitMoji.h"
#include "UnitPicEffect.h"
#include "UnitPictureEditor.h"
#include "UnitPictureSelect.h"
#include "UnitSelectWidth.h"
#include "UnitShowMasu.h"

namespace {
EaselForms* g_current = nullptr;
}

EaselForms::EaselForms() {
    g_current = this;
}

EaselForms::~EaselForms() {
    // The secondary forms go first: they are children of the main window.
    formSelectWidth.reset();
    formPicEffect.reset();
    formMoji.reset();
    formShowMasu.reset();
    formPictureSelect.reset();
    formPictureEditor.reset();
    if (g_current == this) g_current = nullptr;
}

EaselForms* EaselForms::current() {
    return g_current;
}

void EaselForms::create(const QStringList& arguments) {
    formPictureEditor = std::make_unique<TFormPictureEditor>(arguments);
    QWidget* main = formPictureEditor.get();
    formPictureSelect = std::make_unique<TFormPictureSelect>(main);
    formShowMasu = std::make_unique<TFormShowMasu>(main);
    formMoji = std::make_unique<TFormMoji>(main);
    formPicEffect = std::make_unique<TFormPicEffect>(main);
    formSelectWidth = std::make_unique<TFormSelectWidth>(main);
}
