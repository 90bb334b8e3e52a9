#include "shell/program.h"

#include "groupdlg/unit4.h"
#include "groupdlg/unit5.h"
#include "groupwin/unit3.h"
#include "groupwin/unit7.h"
#include "memo/unit6.h"
#include "search/unit8.h"
#include "shell/unit2.h"

ProgramWindows CreateProgramWindows(TForm1& form1, const Platform& platform)
{
    ProgramWindows w;
    w.form2 = new TForm2(form1.Session(), form1.Settings(), platform, &form1);
    w.form3 = new TForm3(form1.Session(), form1.Settings(), platform, &form1);
    w.form5 = new TForm5(form1.Session(), form1.Settings(), platform, &form1);
    w.form4 = new TForm4(form1.Session(), form1.Settings(), platform, &form1);
    w.form6 = new TForm6(platform, &form1);
    w.form7 = new TForm7(platform, &form1);
    w.form8 = new TForm8(form1.Session(), platform, &form1);
    form1.SetWindows(w);
    return w;
}
