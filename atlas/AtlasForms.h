#pragma once

#include <QStringList>
#include <memory>

class TForm1;
class TForm2;
class TForm3;
class TFormToolSet;
class TFormInputTeikeiM;
class TFormCity;
class TFormPictureKiridasi;
class TFormEditText;
class TFormPicEffect;

// The nine forms of the map editor, created in order at start-up and alive for the whole run.
// The forms reach one another through current(); a form not yet created is null.
struct AtlasForms {
    AtlasForms();
    ~AtlasForms();
    AtlasForms(const AtlasForms&) = delete;
    AtlasForms& operator=(const AtlasForms&) = delete;

    // Creates the forms in the program's order; the arguments go to the main window.
    void create(const QStringList& arguments);

    static AtlasForms* current();

    std::unique_ptr<TForm1> form1;
    std::unique_ptr<TForm2> form2;
    std::unique_ptr<TForm3> form3;
    std::unique_ptr<TFormToolSet> formToolSet;
    std::unique_ptr<TFormInputTeikeiM> formInputTeikeiM;
    std::unique_ptr<TFormCity> formCity;
    std::unique_ptr<TFormPictureKiridasi> formPictureKiridasi;
    std::unique_ptr<TFormEditText> formEditText;
    std::unique_ptr<TFormPicEffect> formPicEffect;
};
