#include "AtlasForms.h"

#include "MyFileDialogs.h"
#include "Unit1.h"
#include "Unit2.h"
#include "Unit3.h"
#include "UnitCity.h"
#include "UnitEditText.h"
#include "UnitInputTeikeiM.h"
#include "UnitPicEffect.h"
#include "UnitPictureKiridasi.h"
#include "UnitToolSet.h"

namespace {
AtlasForms* g_current = nullptr;
}

AtlasForms::AtlasForms() { g_current = this; }

AtlasForms::~AtlasForms()
{
    // The secondary forms go first: the main window's teardown may still look at them.
    formPicEffect.reset();
    formEditText.reset();
    formPictureKiridasi.reset();
    formCity.reset();
    formInputTeikeiM.reset();
    formToolSet.reset();
    form3.reset();
    form2.reset();
    form1.reset();
    if (g_current == this)
        g_current = nullptr;
}

AtlasForms* AtlasForms::current() { return g_current; }

void AtlasForms::create(const QStringList& arguments)
{
    form1 = std::make_unique<TForm1>(arguments);
    form2 = std::make_unique<TForm2>(form1.get());
    form3 = std::make_unique<TForm3>(form1.get());
    formToolSet = std::make_unique<TFormToolSet>(form1.get());
    formInputTeikeiM = std::make_unique<TFormInputTeikeiM>(form1.get());
    formCity = std::make_unique<TFormCity>(form1.get());
    formPictureKiridasi = std::make_unique<TFormPictureKiridasi>(form1.get());
    // The size-correction form opens other pictures where the map picture dialog starts.
    formPictureKiridasi->MyOpenPictureDialog1->InitialDir = form1->mopd1->InitialDir;
    formEditText = std::make_unique<TFormEditText>(form1.get());
    formPicEffect = std::make_unique<TFormPicEffect>(form1.get());
}
