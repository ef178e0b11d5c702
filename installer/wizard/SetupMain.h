#pragma once
// The setup program's main form: it carries the whole description of the installation.

#include "platform/vcl/Forms.h"

class TForm1 : public vcl::TForm {
    VCL_CLASS(TForm1, vcl::TForm)
public:
    explicit TForm1(vcl::TComponent* owner);
};

// The program's main form, made by the program body.
extern TForm1* Form1;
