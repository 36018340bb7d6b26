#include "application.h"
#include "tform1.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    TApplication application;
    return Application->RunProtected([] {
        Application->Initialize();
        Application->CreateForm(Form1);
        Application->Run();
    });
}
