#pragma once

#include <QStringList>
#include <memory>

class TFormPictureEditor;
class TFormPictureSelect;
class TFormShowMasu;
class TFormMoji;
class TFormPicEffect;
class TFormSelectWidth;

// The six forms of the picture editor, created in order at start-up and alive for the whole run.
// The forms reach one another through current(); a form not yet created is null.
struct EaselForms {
    EaselForms();
    ~EaselForms();
    EaselForms(const EaselForms&) = delete;
    EaselForms& operator=(const EaselForms&) = delete;

    // Creates the forms in the program's order; the arguments go to the main window.
    void create(const QStringList& arguments);

    static EaselForms* current();

    std::unique_ptr<TFormPictureEditor> formPictureEditor;
    std::unique_ptr<TFormPictureSelect> formPictureSelect;
    std::unique_ptr<TFormShowMasu> formShowMasu;
    std::unique_ptr<TFormMoji> formMoji;
    std::unique_ptr<TFormPicEffect> formPicEffect;
    std::unique_ptr<TFormSelectWidth> formSelectWidth;
};
